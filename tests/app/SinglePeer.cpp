// A process for the single-instance tests: a program start reduced to the instance check.
//   zk_single_peer <instance key>   prints "first" or "second"; a first instance prints
//                                   "shown <n>" for each activation request and ends, cleanly,
//                                   when its standard input closes.
//   zk_single_peer --log            installs the program's diagnostics handler and logs one
//                                   message of each severity.

#include "app/MessageHandler.h"
#include "app/SingleApplication.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2)
        return 2;
    if (QByteArray(argv[1]) == "--log") {
        installMessageHandler();
        qDebug().noquote() << "调试" << 1;
        qInfo().noquote() << "信息";
        qWarning().noquote() << "警告";
        qCritical().noquote() << "严重";
        return 0;
    }

    SingleApplication app(argc, argv, QString::fromLocal8Bit(argv[1]));
    if (app.isRunning()) {
        std::puts("second");
        return 0;
    }
    int shown = 0;
    QObject::connect(&app, &SingleApplication::instanceStarted,
                     [&shown] { std::printf("shown %d\n", ++shown); });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&app, &input] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            app.quit();
        }
    });
    std::puts("first");
    return app.exec();
}
