// The udev rule shipped for Linux must open the keyboard to the user at the seat and nothing
// else: every rule line is tied to the keyboard's vendor and product.

#include "ZkTest.h"

#include "keyboardlink/transport/RawHID.h"

#include <QFile>

class TestUdevRule : public QObject
{
    Q_OBJECT
private slots:
    void onlyTheKeyboardIsOpened();
};

void TestUdevRule::onlyTheKeyboardIsOpened()
{
    QFile file(QStringLiteral(ZK_PACKAGING_DIR "/") + RawHID::udevRuleFile());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    int rules = 0;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        ++rules;
        QVERIFY2(line.contains("SUBSYSTEM==\"hidraw\""), line);
        QVERIFY2(line.contains("ATTRS{idVendor}==\"3721\""), line);
        QVERIFY2(line.contains("ATTRS{idProduct}==\"2405\""), line);
        QVERIFY2(line.contains("TAG+=\"uaccess\""), line);
        QVERIFY2(!line.contains("MODE=\"0666\""), line); // never open to every user of the machine
    }
    QCOMPARE(rules, 1);
}

ZK_TEST_MAIN(TestUdevRule)
#include "tst_udevrule.moc"
