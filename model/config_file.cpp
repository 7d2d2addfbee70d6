#include "config_file.h"

#include "protocol/config_ranges.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// The messages' translation context.
struct ConfigText
{
    Q_DECLARE_TR_FUNCTIONS(ConfigFile)
};

// The point as the document holds it: curve[0] is point 1, as JSON counts.
QString point_path(int point, const QString &key = QString())
{
    const QString path = QStringLiteral("curve[%1]").arg(point - 1);
    return key.isEmpty() ? path : path + QLatin1Char('.') + key;
}

// People count the points 1..7, as the window labels them; the path beside
// says where the document holds it.
QString point_name(int point, const QString &path)
{
    return ConfigText::tr("point %1 (%2)").arg(point).arg(path);
}

// Text from a document as a message quotes it: short, and with control
// characters (a terminal's escape sequences among them) replaced.
QString quoted(const QString &text)
{
    QString shown = text.size() > 40 ? text.left(40) + QStringLiteral("...") : text;
    for (QChar &c : shown) {
        if (!c.isPrint())
            c = QChar::ReplacementCharacter;
    }
    return shown;
}

QString shown(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 12);
    case QJsonValue::String:
        return QLatin1Char('"') + quoted(value.toString()) + QLatin1Char('"');
    case QJsonValue::Array:
        return ConfigText::tr("an array");
    case QJsonValue::Object:
        return ConfigText::tr("an object");
    default:
        return QStringLiteral("null");
    }
}

QString allowed_numbers(ValueRange range)
{
    return range.min == range.max ? QString::number(range.min)
                                  : ConfigText::tr("a whole number %1..%2").arg(range.min).arg(range.max);
}

// Checks a document field by field, stopping at the first bad one.
class DocumentReader
{
public:
    QString error;
    // Takes any value its bytes can carry, not only what the form allows.
    bool as_reported = false;

    ValueRange allowed(ValueRange form_range, int bytes) const
    {
        return as_reported ? ValueRange{0, (1 << (8 * bytes)) - 1} : form_range;
    }

    bool fail(const QString &name, const QJsonValue &found, const QString &allowed)
    {
        error = found.isUndefined() ? ConfigText::tr("%1 is missing; allowed: %2").arg(name, allowed)
                                    : ConfigText::tr("%1 is %2; allowed: %3").arg(name, shown(found), allowed);
        return false;
    }

    // Every key of `object` is one of `known`; `point` names a curve point's object.
    bool only_known_keys(const QJsonObject &object, const QStringList &known, const QString &prefix, int point = 0)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!known.contains(it.key())) {
                const QString path = prefix + quoted(it.key());
                error = ConfigText::tr("%1 is not a field of this format").arg(point ? point_name(point, path) : path);
                return false;
            }
        }
        return true;
    }

    bool number(const QJsonObject &object, const QString &key, const QString &name, ValueRange range,
                unsigned *out)
    {
        const QJsonValue value = object.value(key);
        const double number = value.toDouble(-1);
        if (!value.isDouble() || std::floor(number) != number || !range.contains(number))
            return fail(name, value, allowed_numbers(range));
        *out = unsigned(number);
        return true;
    }

    bool flag(const QJsonObject &object, const QString &key, bool *out)
    {
        const QJsonValue value = object.value(key);
        if (!value.isBool())
            return fail(key, value, ConfigText::tr("true or false"));
        *out = value.toBool();
        return true;
    }

    bool object(const QJsonValue &value, const QString &name, QJsonObject *out)
    {
        if (!value.isObject())
            return fail(name, value, ConfigText::tr("an object"));
        *out = value.toObject();
        return true;
    }

    bool format(const QJsonObject &root)
    {
        const QJsonValue name = root.value(QLatin1String("format"));
        if (name.toString() != QLatin1String(CONFIG_FORMAT_NAME))
            return fail(QStringLiteral("format"), name, QLatin1Char('"') + QLatin1String(CONFIG_FORMAT_NAME) + QLatin1Char('"'));
        unsigned version = 0;
        return number(root, QStringLiteral("version"), QStringLiteral("version"),
                      {CONFIG_FORMAT_VERSION, CONFIG_FORMAT_VERSION}, &version);
    }

    // A document from any other device is refused: its values were meant for
    // hardware that may read them differently.
    bool controller(const QJsonObject &root)
    {
        QJsonObject identity;
        const ControllerIdentity supported = supported_controller();
        unsigned value = 0;
        return object(root.value(QLatin1String("controller")), QStringLiteral("controller"), &identity)
               && only_known_keys(identity, {"vendor_id", "product_id", "firmware_version"},
                                  QStringLiteral("controller."))
               && number(identity, QStringLiteral("vendor_id"), QStringLiteral("controller.vendor_id"),
                         {supported.vendor_id, supported.vendor_id}, &value)
               && number(identity, QStringLiteral("product_id"), QStringLiteral("controller.product_id"),
                         {supported.product_id, supported.product_id}, &value)
               && number(identity, QStringLiteral("firmware_version"),
                         QStringLiteral("controller.firmware_version"),
                         {supported.firmware_version, supported.firmware_version}, &value);
    }

    bool curve(const QJsonObject &root, ConfigBlock *config)
    {
        const QJsonValue value = root.value(QLatin1String("curve"));
        const QJsonArray points = value.toArray();
        const QString shape = ConfigText::tr("an array of %1 points").arg(ConfigBlock::CURVE_POINTS);
        if (!value.isArray())
            return fail(QStringLiteral("curve"), value, shape);
        if (points.size() != ConfigBlock::CURVE_POINTS) {
            error = ConfigText::tr("curve has %1 points; allowed: %2").arg(points.size()).arg(shape);
            return false;
        }
        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) {
            QJsonObject entry;
            unsigned light = 0;
            unsigned pwm_width = 0;
            if (!object(points.at(point - 1), point_name(point, point_path(point)), &entry)
                || !only_known_keys(entry, {"light", "pwm_width"}, point_path(point) + QLatin1Char('.'), point)
                || !number(entry, QStringLiteral("light"), point_name(point, point_path(point, QStringLiteral("light"))),
                           allowed(AUTO_LIGHT_RANGE, 2), &light)
                || !number(entry, QStringLiteral("pwm_width"),
                           point_name(point, point_path(point, QStringLiteral("pwm_width"))), allowed(AUTO_PWM_RANGE, 2),
                           &pwm_width))
                return false;
            config->set_auto_light(point, light);
            config->set_auto_pwm(point, pwm_width);
        }
        return true;
    }

    bool settings(const QJsonObject &root, ConfigBlock *config)
    {
        unsigned step_delay = 0;
        unsigned slide_delay = 0;
        bool linear_interpolation = false;
        unsigned light_samples = 0;
        if (!number(root, QStringLiteral("step_delay"), QStringLiteral("step_delay"), allowed(PWM_DELAY_RANGE, 1), &step_delay)
            || !number(root, QStringLiteral("slide_delay"), QStringLiteral("slide_delay"), allowed(PWM_DELAY_RANGE, 1),
                       &slide_delay)
            || !flag(root, QStringLiteral("linear_interpolation"), &linear_interpolation)
            || !number(root, QStringLiteral("light_samples"), QStringLiteral("light_samples"),
                       allowed(AVRG_LIGHT_NUM_RANGE, 1), &light_samples))
            return false;
        config->set_pwm_step_delay(step_delay);
        config->set_pwm_slide_delay(slide_delay);
        config->set_pwm_smooth_alg(linear_interpolation);
        config->set_avrg_light_num(light_samples);
        return true;
    }
};

// The settings after the curve, as (name, value) for messages and differences.
QList<QPair<QString, QString>> settings_of(const ConfigBlock &config)
{
    return {{QStringLiteral("step_delay"), QString::number(config.pwm_step_delay())},
            {QStringLiteral("slide_delay"), QString::number(config.pwm_slide_delay())},
            {QStringLiteral("linear_interpolation"),
             config.pwm_smooth_alg() ? QStringLiteral("true") : QStringLiteral("false")},
            {QStringLiteral("light_samples"), QString::number(config.avrg_light_num())}};
}

} // namespace

ControllerIdentity supported_controller()
{
    ControllerIdentity supported;
    supported.vendor_id = CONTROLLER_VENDOR_ID;
    supported.product_id = CONTROLLER_PRODUCT_ID;
    supported.firmware_version = CONTROLLER_VERSION;
    return supported;
}

QByteArray config_to_json(const ConfigBlock &config, const ControllerIdentity &identity)
{
    // Written by hand rather than through QJsonDocument: keys in a reading
    // order, one curve point a line.
    QString text = QStringLiteral("{\n    \"format\": \"%1\",\n    \"version\": %2,\n")
                       .arg(QLatin1String(CONFIG_FORMAT_NAME))
                       .arg(CONFIG_FORMAT_VERSION);
    text += QStringLiteral("    \"controller\": { \"vendor_id\": %1, \"product_id\": %2, \"firmware_version\": %3 },\n")
                .arg(identity.vendor_id)
                .arg(identity.product_id)
                .arg(identity.firmware_version);
    text += QStringLiteral("    \"curve\": [\n");
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point)
        text += QStringLiteral("        { \"light\": %1, \"pwm_width\": %2 }%3\n")
                    .arg(config.auto_light(point))
                    .arg(config.auto_pwm(point))
                    .arg(point < ConfigBlock::CURVE_POINTS ? QStringLiteral(",") : QString());
    text += QStringLiteral("    ]");
    for (const auto &[name, value] : settings_of(config))
        text += QStringLiteral(",\n    \"%1\": %2").arg(name, value);
    text += QStringLiteral("\n}\n");
    return text.toUtf8();
}

namespace {

// What broke the JSON, in the reader's words; Qt's own (English) words follow.
QString json_problem(const QJsonParseError &parse_error)
{
    QString what;
    switch (parse_error.error) {
    case QJsonParseError::UnterminatedObject:
    case QJsonParseError::UnterminatedArray:
    case QJsonParseError::UnterminatedString:
    case QJsonParseError::MissingObject:
        what = ConfigText::tr("the text ends before its brackets or quotes close");
        break;
    case QJsonParseError::MissingNameSeparator:
    case QJsonParseError::MissingValueSeparator:
        what = ConfigText::tr("a ':' or ',' is missing");
        break;
    case QJsonParseError::GarbageAtEnd:
        what = ConfigText::tr("more text follows the document's end");
        break;
    default:
        what = ConfigText::tr("what stands there is not a JSON value");
        break;
    }
    return ConfigText::tr("not valid JSON at byte %1: %2 (%3)")
        .arg(parse_error.offset)
        .arg(what, parse_error.errorString());
}

bool read_document(const QByteArray &json, bool as_reported, ConfigBlock *config, QString *error)
{
    if (json.size() > CONFIG_DOCUMENT_MAX_SIZE) {
        *error = ConfigText::tr("the document is larger than %1 bytes")
                     .arg(CONFIG_DOCUMENT_MAX_SIZE);
        return false;
    }
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse_error);
    if (parse_error.error != QJsonParseError::NoError) {
        *error = json_problem(parse_error);
        return false;
    }
    DocumentReader reader;
    reader.as_reported = as_reported;
    ConfigBlock read = *config;
    if (!document.isObject()) {
        *error = ConfigText::tr("the document is not a JSON object");
        return false;
    }
    const QJsonObject root = document.object();
    if (!reader.format(root)
        || !reader.only_known_keys(root,
                                   {"format", "version", "controller", "curve", "step_delay", "slide_delay",
                                    "linear_interpolation", "light_samples"},
                                   QString())
        || !reader.controller(root) || !reader.curve(root, &read) || !reader.settings(root, &read)) {
        *error = reader.error;
        return false;
    }
    *config = read;
    return true;
}

} // namespace

bool config_from_json(const QByteArray &json, ConfigBlock *config, QString *error)
{
    return read_document(json, false, config, error);
}

bool config_from_json_as_reported(const QByteArray &json, ConfigBlock *config, QString *error)
{
    return read_document(json, true, config, error);
}

QStringList config_differences(const ConfigBlock &from, const ConfigBlock &to)
{
    QStringList lines;
    // A curve point's line names the point as people count it, the document's path beside it.
    const auto differ = [&lines](const QString &path, const QString &old_value, const QString &new_value,
                                 int point = 0) {
        if (old_value != new_value)
            lines << QStringLiteral("%1: %2 -> %3").arg(point ? point_name(point, path) : path, old_value, new_value);
    };
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) {
        differ(point_path(point, QStringLiteral("light")), QString::number(from.auto_light(point)),
               QString::number(to.auto_light(point)), point);
        differ(point_path(point, QStringLiteral("pwm_width")), QString::number(from.auto_pwm(point)),
               QString::number(to.auto_pwm(point)), point);
    }
    const auto old_settings = settings_of(from);
    const auto new_settings = settings_of(to);
    for (int i = 0; i < old_settings.size(); ++i)
        differ(old_settings[i].first, old_settings[i].second, new_settings[i].second);
    return lines;
}
