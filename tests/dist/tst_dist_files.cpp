#include "protocol/commands.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

// The desktop files name the controller and the application in several
// places; each must agree with the code and with the others, or the rule
// grants nothing, the launcher shows no icon, or the store lists a stale
// release.
class TestDistFiles : public QObject
{
    Q_OBJECT

private slots:
    void files_agree_with_the_code_data();
    void files_agree_with_the_code();
};

namespace {

const QString APP_ID = QStringLiteral("io.github.morvane.pwm");

QString hex4(int id, bool upper)
{
    const QString text = QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
    return upper ? text.toUpper() : text;
}

} // namespace

void TestDistFiles::files_agree_with_the_code_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("pattern"); // captures the value in group 1
    QTest::addColumn<QString>("expected");

    const QString rule = QStringLiteral("70-morvane-pwm.rules");
    const QString desktop = APP_ID + QStringLiteral(".desktop");
    const QString metainfo = APP_ID + QStringLiteral(".metainfo.xml");

    // sysfs writes idVendor/idProduct in lower case; udev compares strings.
    QTest::newRow("udev vendor") << rule << QStringLiteral("ATTRS\\{idVendor\\}==\"([^\"]*)\"")
                                 << hex4(CONTROLLER_VENDOR_ID, false);
    QTest::newRow("udev product") << rule << QStringLiteral("ATTRS\\{idProduct\\}==\"([^\"]*)\"")
                                  << hex4(CONTROLLER_PRODUCT_ID, false);
    // USB modaliases spell the ids in upper case.
    QTest::newRow("modalias") << metainfo << QStringLiteral("<modalias>([^<]*)</modalias>")
                              << QStringLiteral("usb:v%1p%2*").arg(hex4(CONTROLLER_VENDOR_ID, true),
                                                                   hex4(CONTROLLER_PRODUCT_ID, true));
    QTest::newRow("component id") << metainfo << QStringLiteral("<id>([^<]*)</id>") << APP_ID;
    QTest::newRow("launchable") << metainfo << QStringLiteral("<launchable type=\"desktop-id\">([^<]*)<")
                                << desktop;
    QTest::newRow("newest release") << metainfo << QStringLiteral("<release version=\"([^\"]*)\"")
                                    << QStringLiteral(MORVANE_VERSION);
    QTest::newRow("binary in metainfo") << metainfo << QStringLiteral("<binary>([^<]*)</binary>")
                                        << QStringLiteral(MORVANE_EXECUTABLE);
    QTest::newRow("launcher command") << desktop << QStringLiteral("(?m)^Exec=(\\S+)")
                                      << QStringLiteral(MORVANE_EXECUTABLE);
    QTest::newRow("launcher icon") << desktop << QStringLiteral("(?m)^Icon=(.*)$") << APP_ID;
    // On X11 the window's class is the binary's name, not the desktop id.
    QTest::newRow("window class") << desktop << QStringLiteral("(?m)^StartupWMClass=(.*)$")
                                  << QStringLiteral(MORVANE_EXECUTABLE);
}

void TestDistFiles::files_agree_with_the_code()
{
    QFETCH(QString, file);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);

    QFile source(QStringLiteral(MORVANE_DIST_DIR "/") + file);
    QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(source.fileName()));
    const QString text = QString::fromUtf8(source.readAll());

    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    QVERIFY2(match.hasMatch(), qPrintable(pattern));
    QCOMPARE(match.captured(1), expected);
}

QTEST_GUILESS_MAIN(TestDistFiles)
#include "tst_dist_files.moc"
