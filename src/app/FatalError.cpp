#include "app/FatalError.h"

#include <QDebug>
#include <QMessageBox>

#include <exception>

namespace {

void showFatalError(const QString& text)
{
    qCritical().noquote() << text;
    QMessageBox::critical(nullptr, QStringLiteral("程序异常"), text, QMessageBox::Ok);
}

} // namespace

int runReportingFatalErrors(const std::function<int()>& body)
{
    try {
        return body();
    } catch (const std::exception& e) {
        showFatalError(QStringLiteral("程序运行过程中发生异常:\n%1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        showFatalError(QStringLiteral("程序运行过程中发生未知异常"));
    }
    return 1;
}
