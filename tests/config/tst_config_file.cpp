// The configuration document: export and import agree, every kind of bad
// document is refused by name with the block untouched, the kept corpus holds
// the import rule, and the format's ranges are the form's.

#include "import_invariant.h"
#include "model/config_file.h"
#include "protocol/config_ranges.h"
#include "ui_widget.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <functional>

namespace {

using Edit = std::function<void(QJsonObject &)>;

// A controller's block with every configuration field away from its default.
ConfigBlock sample_block()
{
    ConfigBlock block;
    block.set_pwm_width(300);
    block.set_light_adc(700);
    block.set_regulation_mode(1);
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) {
        block.set_auto_light(point, 100 * point + 23);
        block.set_auto_pwm(point, 80 * point);
    }
    block.set_pwm_step_delay(7);
    block.set_pwm_slide_delay(200);
    block.set_pwm_smooth_alg(true);
    block.set_avrg_light_num(12);
    return block;
}

QJsonObject sample_document()
{
    return QJsonDocument::fromJson(config_to_json(sample_block(), supported_controller())).object();
}

Edit set(const QString &key, const QJsonValue &value)
{
    return [=](QJsonObject &document) { document[key] = value; };
}

Edit set_in(const QString &group, const QString &key, const QJsonValue &value)
{
    return [=](QJsonObject &document) {
        QJsonObject inner = document[group].toObject();
        inner[key] = value;
        document[group] = inner;
    };
}

Edit set_point(int point, const QString &key, const QJsonValue &value)
{
    return [=](QJsonObject &document) {
        QJsonArray curve = document[QStringLiteral("curve")].toArray();
        QJsonObject entry = curve[point - 1].toObject();
        entry[key] = value;
        curve[point - 1] = entry;
        document[QStringLiteral("curve")] = curve;
    };
}

Edit drop(const QString &key)
{
    return [=](QJsonObject &document) { document.remove(key); };
}

QByteArray edited(const Edit &edit)
{
    QJsonObject document = sample_document();
    edit(document);
    return QJsonDocument(document).toJson();
}

} // namespace

class ConfigFileTest : public QObject
{
    Q_OBJECT

private slots:
    void round_trip_data()
    {
        QTest::addColumn<int>("fill"); // every field at its minimum, the sample, or its maximum
        QTest::newRow("lowest") << -1;
        QTest::newRow("sample") << 0;
        QTest::newRow("highest") << 1;
    }

    void round_trip()
    {
        QFETCH(int, fill);
        ConfigBlock exported = sample_block();
        const auto pick = [fill](ValueRange range, unsigned sample) {
            return fill < 0 ? unsigned(range.min) : fill > 0 ? unsigned(range.max) : sample;
        };
        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) {
            exported.set_auto_light(point, pick(AUTO_LIGHT_RANGE, exported.auto_light(point)));
            exported.set_auto_pwm(point, pick(AUTO_PWM_RANGE, exported.auto_pwm(point)));
        }
        exported.set_pwm_step_delay(pick(PWM_DELAY_RANGE, exported.pwm_step_delay()));
        exported.set_pwm_slide_delay(pick(PWM_DELAY_RANGE, exported.pwm_slide_delay()));
        exported.set_pwm_smooth_alg(fill >= 0);
        exported.set_avrg_light_num(pick(AVRG_LIGHT_NUM_RANGE, exported.avrg_light_num()));

        ConfigBlock imported; // another controller's live state: bytes 0..4 must stay
        imported.set_pwm_width(17);
        imported.set_light_adc(1023);
        QString error;
        QVERIFY2(config_from_json(config_to_json(exported, supported_controller()), &imported, &error),
                 qPrintable(error));
        QCOMPARE(imported.pwm_width(), 17u);
        QCOMPARE(imported.light_adc(), 1023u);
        QCOMPARE(imported.regulation_mode(), 0u);
        QVERIFY(std::equal(exported.bytes.begin() + ConfigBlock::STATUS_SIZE, exported.bytes.end(),
                           imported.bytes.begin() + ConfigBlock::STATUS_SIZE));
    }

    // Each kind of bad document, and what the message must name: the field
    // and what it allows.
    void refused_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("named");

        QTest::newRow("not JSON") << QByteArray("{\"format\": ") << "not valid JSON";
        QTest::newRow("empty") << QByteArray() << "not valid JSON";
        QTest::newRow("array") << QByteArray("[1, 2]") << "not a JSON object";
        QTest::newRow("too large") << QByteArray(70000, ' ') + config_to_json(sample_block(), supported_controller())
                                   << "larger than 65536 bytes";
        QTest::newRow("other format") << edited(set("format", "pwm")) << "format is \"pwm\"; allowed: \"morvane-pwm-configuration\"";
        QTest::newRow("no format") << edited(drop("format")) << "format is missing";
        QTest::newRow("newer version") << edited(set("version", 2)) << "version is 2; allowed: 1";
        QTest::newRow("unknown field") << edited(set("colour", "red")) << "colour is not a field";
        QTest::newRow("no controller") << edited(drop("controller")) << "controller is missing; allowed: an object";
        QTest::newRow("other vendor") << edited(set_in("controller", "vendor_id", 1234))
                                      << "controller.vendor_id is 1234; allowed: 36232";
        QTest::newRow("other product") << edited(set_in("controller", "product_id", 188))
                                       << "controller.product_id is 188; allowed: 187";
        QTest::newRow("other firmware") << edited(set_in("controller", "firmware_version", 2))
                                        << "controller.firmware_version is 2; allowed: 1";
        QTest::newRow("unknown controller field") << edited(set_in("controller", "serial", 5))
                                                  << "controller.serial is not a field";
        QTest::newRow("curve not an array") << edited(set("curve", 7)) << "curve is 7; allowed: an array of 7 points";
        QTest::newRow("six points") << edited([](QJsonObject &d) {
            QJsonArray curve = d["curve"].toArray();
            curve.removeLast();
            d["curve"] = curve;
        }) << "curve has 6 points";
        QTest::newRow("point not an object") << edited([](QJsonObject &d) {
            QJsonArray curve = d["curve"].toArray();
            curve[4] = 5;
            d["curve"] = curve;
        }) << "curve[5] is 5; allowed: an object";
        QTest::newRow("light above") << edited(set_point(3, "light", 1024)) << "curve[3].light is 1024; allowed: a whole number 0..1023";
        QTest::newRow("light negative") << edited(set_point(1, "light", -1)) << "curve[1].light is -1; allowed: a whole number 0..1023";
        QTest::newRow("light as text") << edited(set_point(4, "light", "100")) << "curve[4].light is \"100\"";
        QTest::newRow("width above") << edited(set_point(7, "pwm_width", 565)) << "curve[7].pwm_width is 565; allowed: a whole number 0..564";
        QTest::newRow("width fraction") << edited(set_point(2, "pwm_width", 12.5)) << "curve[2].pwm_width is 12.5";
        QTest::newRow("point field missing") << edited(set_point(6, "light", QJsonValue::Undefined))
                                             << "curve[6].light is missing";
        QTest::newRow("unknown point field") << edited(set_point(2, "percent", 50)) << "curve[2].percent is not a field";
        QTest::newRow("step delay above") << edited(set("step_delay", 256)) << "step_delay is 256; allowed: a whole number 0..255";
        QTest::newRow("slide delay null") << edited(set("slide_delay", QJsonValue::Null)) << "slide_delay is null";
        QTest::newRow("flag as number") << edited(set("linear_interpolation", 1))
                                        << "linear_interpolation is 1; allowed: true or false";
        QTest::newRow("no samples") << edited(set("light_samples", 0)) << "light_samples is 0; allowed: a whole number 1..50";
        QTest::newRow("too many samples") << edited(set("light_samples", 51)) << "light_samples is 51";
        QTest::newRow("samples missing") << edited(drop("light_samples")) << "light_samples is missing";
    }

    void refused()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, named);
        ConfigBlock block = sample_block();
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
        const QDir corpus(QStringLiteral(MORVANE_CONFIG_CORPUS));
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
        ConfigBlock changed = sample_block();
        changed.set_pwm_width(0); // live state is not configuration
        changed.set_auto_light(3, 999);
        changed.set_pwm_smooth_alg(false);
        QCOMPARE(config_differences(sample_block(), changed),
                 QStringList({"curve[3].light: 323 -> 999", "linear_interpolation: true -> false"}));
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
