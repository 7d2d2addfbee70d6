// Which controller --device names: the one rule both of the client's ways in
// and the history's commands follow.

#include "model/controller_selector.h"

#include <QtTest>

class ControllerSelectorTest : public QObject
{
    Q_OBJECT

private slots:
    // The controllers present as "id serial" (serial "-": none), in list
    // order; what the selector picks: "1-based index", "several a,b" or "none".
    void choose_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<QString>("picks");

        const QStringList two{"sn:A1B2C3 A1B2C3", "usb:1-2 -"};
        const QStringList twins{"sn:TWIN@1-1 TWIN", "sn:TWIN@1-2 TWIN", "usb:3 -"};
        QTest::newRow("exact id") << two << "usb:1-2" << "2";
        QTest::newRow("exact serial") << two << "A1B2C3" << "1";
        QTest::newRow("index") << two << "2" << "2";
        QTest::newRow("index beyond the list") << two << "3" << "none";
        QTest::newRow("index zero") << two << "0" << "none";
        QTest::newRow("a serial that is a number wins over the index")
            << QStringList{"sn:2 2", "sn:9 9"} << "2" << "1";
        QTest::newRow("an exact id wins over a longer one it starts")
            << QStringList{"sn:ABCD ABCD", "sn:ABCDE ABCDE"} << "sn:ABCD" << "1";
        QTest::newRow("prefix of an id") << two << "usb:" << "2";
        QTest::newRow("prefix of a serial") << two << "A1B2" << "1";
        QTest::newRow("prefix too short") << two << "A1B" << "none";
        QTest::newRow("ambiguous prefix") << QStringList{"sn:ABCD1 ABCD1", "sn:ABCD2 ABCD2"} << "sn:AB"
                                          << "several sn:ABCD1,sn:ABCD2";
        QTest::newRow("twins' shared serial") << twins << "TWIN" << "several sn:TWIN@1-1,sn:TWIN@1-2";
        QTest::newRow("a twin by its id") << twins << "sn:TWIN@1-2" << "2";
        QTest::newRow("no match") << two << "sn:ZZZZ" << "none";
        QTest::newRow("no selector, one present") << QStringList{"usb:1-2 -"} << "" << "1";
        QTest::newRow("no selector, several") << two << "" << "several sn:A1B2C3,usb:1-2";
        QTest::newRow("no selector, none present") << QStringList() << "" << "nothing present";
        QTest::newRow("a selector, none present") << QStringList() << "1" << "none";
    }

    void choose()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, selector);
        QFETCH(QString, picks);
        std::vector<SelectableController> controllers;
        for (const QString &controller : present) {
            const QString serial = controller.section(' ', 1);
            controllers.push_back({controller.section(' ', 0, 0), serial == "-" ? QString() : serial});
        }
        const ControllerChoice choice = choose_controller(controllers, selector);
        QString picked;
        switch (choice.kind) {
        case ControllerChoice::Kind::chosen: picked = QString::number(choice.index + 1); break;
        case ControllerChoice::Kind::several: picked = "several " + choice.candidates.join(','); break;
        case ControllerChoice::Kind::no_match: picked = "none"; break;
        case ControllerChoice::Kind::nothing_present: picked = "nothing present"; break;
        }
        QCOMPARE(picked, picks);
    }

    // The history keeps ids only: their serials are read back from them.
    void serials_from_recorded_ids()
    {
        const std::vector<SelectableController> named =
            selectable_ids({"sn:A1B2", "sn:TWIN@1-2", "usb:1-2", "path:/dev/hidraw1"});
        QStringList serials;
        for (const SelectableController &controller : named)
            serials << controller.serial;
        QCOMPARE(serials, (QStringList{"A1B2", "TWIN", "", ""}));
    }
};

QTEST_MAIN(ControllerSelectorTest)
#include "tst_controller_selector.moc"
