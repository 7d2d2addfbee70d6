// The configuration document: every kind of bad document is refused by name
// with the block untouched, the kept corpus (exports among it) holds the
// import rule, and the format's ranges are the form's.

#include "import_invariant.h"
#include "model/config_file.h"
#include "protocol/config_ranges.h"
#include "ui_widget.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString CORPUS = QStringLiteral(MORVANE_CONFIG_CORPUS);

// The value at `path` ({"curve", "2", "light"}: the third point's light)
// replaced, or removed when `value` is undefined.
QJsonValue replaced(const QJsonValue &node, QStringList path, const QJsonValue &value)
{
    const QString key = path.takeFirst();
    const bool drop = value.isUndefined() && path.isEmpty();
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        if (drop)
            array.removeAt(key.toInt());
        else
            array[key.toInt()] = path.isEmpty() ? value : replaced(array[key.toInt()], path, value);
        return array;
    }
    QJsonObject object = node.toObject();
    if (drop)
        object.remove(key);
    else
        object[key] = path.isEmpty() ? value : replaced(object[key], path, value);
    return object;
}

// A good export with one value changed ("curve/2/light").
QByteArray edited(const QString &path, const QJsonValue &value = QJsonValue::Undefined)
{
    QFile file(CORPUS + QStringLiteral("/export-factory.json"));
    file.open(QIODevice::ReadOnly);
    const QJsonValue document = QJsonDocument::fromJson(file.readAll()).object();
    return QJsonDocument(replaced(document, path.split('/'), value).toObject()).toJson();
}

} // namespace

class ConfigFileTest : public QObject
{
    Q_OBJECT

private slots:
    // Each kind of bad document, and what the message must name: the field
    // and what it allows.
    void refused_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("named");

        // What broke, in the message's language, before Qt's own words.
        QTest::newRow("not JSON") << QByteArray("{\"format\": nope}") << "not valid JSON at byte 13: what stands there is not a JSON value (illegal value)";
        QTest::newRow("cut short") << QByteArray("{\"format\": \"morv") << "ends before its brackets or quotes close";
        QTest::newRow("array") << QByteArray("[1, 2]") << "not a JSON object";
        QTest::newRow("too large") << QByteArray(70000, ' ') + edited("version", 1) << "larger than 65536 bytes";
        QTest::newRow("other format") << edited("format", "pwm") << "format is \"pwm\"; allowed: \"morvane-pwm-configuration\"";
        QTest::newRow("newer version") << edited("version", 2) << "version is 2; allowed: 1";
        // A terminal never gets the document's control characters.
        QTest::newRow("unknown field") << edited("colour\x1b[2J", "red") << QStringLiteral("colour\ufffd[2J is not a field");
        QTest::newRow("no controller") << edited("controller") << "controller is missing; allowed: an object";
        QTest::newRow("other product") << edited("controller/product_id", 188) << "controller.product_id is 188; allowed: 187";
        QTest::newRow("curve not an array") << edited("curve", 7) << "curve is 7; allowed: an array of 7 points";
        QTest::newRow("six points") << edited("curve/6") << "curve has 6 points";
        QTest::newRow("point not an object") << edited("curve/4", 5) << "point 5 (curve[4]) is 5; allowed: an object";
        QTest::newRow("light above") << edited("curve/2/light", 1024) << "point 3 (curve[2].light) is 1024; allowed: a whole number 0..1023";
        QTest::newRow("light as text") << edited("curve/3/light", "100") << "point 4 (curve[3].light) is \"100\"";
        QTest::newRow("width fraction") << edited("curve/1/pwm_width", 12.5) << "point 2 (curve[1].pwm_width) is 12.5";
        QTest::newRow("point field missing") << edited("curve/5/light") << "point 6 (curve[5].light) is missing";
        QTest::newRow("unknown point field") << edited("curve/1/percent", 50) << "point 2 (curve[1].percent) is not a field";
        QTest::newRow("flag as number") << edited("linear_interpolation", 1) << "linear_interpolation is 1; allowed: true or false";
        QTest::newRow("no samples") << edited("light_samples", 0) << "light_samples is 0; allowed: a whole number 1..50";
        QTest::newRow("samples missing") << edited("light_samples") << "light_samples is missing";
    }

    void refused()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, named);
        ConfigBlock block;
        block.bytes.fill(0x5A);
        const ConfigBlock before = block;
        QString error;
        QVERIFY(!config_from_json(document, &block, &error));
        QVERIFY2(error.contains(named), qPrintable(error));
        QCOMPARE(block.bytes, before.bytes);
    }

    // Every input kept for the fuzz target, seeds and regressions alike.
    void corpus_data()
    {
        QTest::addColumn<QString>("path");
        const QDir corpus(CORPUS);
        const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
        QVERIFY2(!names.isEmpty(), "the corpus is empty");
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << corpus.filePath(name);
    }

    void corpus()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString violation = check_import_invariant(file.readAll());
        QVERIFY2(violation.isEmpty(), qPrintable(violation));
    }

    void differences()
    {
        ConfigBlock before;
        before.set_pwm_smooth_alg(true);
        ConfigBlock changed = before;
        changed.set_pwm_width(300); // live state is not configuration
        changed.set_auto_light(3, 999);
        changed.set_pwm_smooth_alg(false);
        QCOMPARE(config_differences(before, changed),
                 QStringList({"point 3 (curve[2].light): 0 -> 999", "linear_interpolation: true -> false"}));
        QVERIFY(config_differences(changed, changed).isEmpty());
    }

    // A document may carry exactly what the window's controls can show.
    void ranges_are_the_forms()
    {
        QWidget window;
        Ui::Widget form;
        form.setupUi(&window);
        QList<QPair<QString, ValueRange>> controls{{"pwm_step_delay_spinBox", PWM_DELAY_RANGE},
                                                   {"pwm_slide_delay_spinBox", PWM_DELAY_RANGE},
                                                   {"avrg_light_num_spinBox", AVRG_LIGHT_NUM_RANGE}};
        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point)
            controls << qMakePair(QStringLiteral("auto_%1_light_spinBox").arg(point), AUTO_LIGHT_RANGE)
                     << qMakePair(QStringLiteral("auto_%1_verticalSlider").arg(point), AUTO_PWM_RANGE);
        for (const auto &[name, range] : controls) {
            const QObject *control = window.findChild<QObject *>(name);
            QVERIFY2(control, qPrintable(name));
            QCOMPARE(control->property("minimum").toInt(), range.min);
            QCOMPARE(control->property("maximum").toInt(), range.max);
        }
    }
};

QTEST_MAIN(ConfigFileTest)
#include "tst_config_file.moc"
