// The demo's command file: what each command does to the simulated keyboards and trading desktop,
// and the lines it refuses.

#include "ZkTest.h"

#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/world/DemoWorld.h"

using sim::TdxField;

class TestDemoWorld : public QObject
{
    Q_OBJECT

private slots:
    void refusedLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("unknown command") << "hello ZK000001";
        QTest::newRow("unknown keyboard") << "press ZK000009 13";
        QTest::newRow("function not a number") << "split ZK000001 x";
        QTest::newRow("function out of range") << "press ZK000001 256";
        QTest::newRow("stock without a price") << "stock 688001 华兴源创";
        QTest::newRow("nothing but a word") << "plug";
    }
    void refusedLines()
    {
        QFETCH(QString, line);
        DemoWorld demo(1);
        QVERIFY(!demo.runCommand(line));
    }

    // A stock shown, then a trade key: the fake TDX opens its dialog for that stock; in split mode
    // the keyboard clicks the dialog's split button itself.
    void stockAndKeys()
    {
        DemoWorld demo(2);
        QVERIFY(demo.runCommand(QStringLiteral("stock 688001 华兴源创 30.50")));
        QVERIFY(demo.runCommand(QStringLiteral("split ZK000002 13")));
        std::vector<sim::WindowId> dialogs;
        QTRY_VERIFY(!(dialogs = demo.tdx().orderDialogs()).empty());
        const sim::WindowId dialog = dialogs.back();
        QCOMPARE(demo.tdx().fieldText(dialog, TdxField::Code), u"688001");
        QCOMPARE(demo.tdx().fieldText(dialog, TdxField::Price), u"30.50");
        // 1/3 of the default maximum of 10000, in whole lots.
        QTRY_COMPARE(demo.tdx().fieldText(dialog, TdxField::Quantity), u"3300");
        QCOMPARE(demo.keyboards().state("ZK000002").keyFunction, std::uint8_t(13));

        QVERIFY(demo.runCommand(QStringLiteral("unplug ZK000001")));
        QVERIFY(!demo.keyboards().isPlugged("ZK000001"));
        QVERIFY(demo.runCommand(QStringLiteral("plug ZK000001")));
        QVERIFY(demo.keyboards().isPlugged("ZK000001"));
    }
};

ZK_TEST_MAIN(TestDemoWorld)
#include "tst_demoworld.moc"
