#include "import_invariant.h"

#include "model/config_file.h"
#include "protocol/config_ranges.h"

namespace {

// A block no import writes by chance: every byte differs from its neighbours,
// and several fields are out of their range.
ConfigBlock before_import()
{
    ConfigBlock block;
    for (int i = 0; i < ConfigBlock::SIZE; ++i)
        block.bytes[i] = static_cast<unsigned char>(0xA5 ^ (i * 29));
    return block;
}

QString out_of_range(const ConfigBlock &block)
{
    const auto check = [](const char *field, int point, unsigned value, ValueRange range) {
        return range.contains(value) ? QString() : QStringLiteral("%1 %2 = %3").arg(field).arg(point).arg(value);
    };
    QString found;
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS && found.isEmpty(); ++point)
        found = check("auto_light", point, block.auto_light(point), AUTO_LIGHT_RANGE)
                + check("auto_pwm", point, block.auto_pwm(point), AUTO_PWM_RANGE);
    if (found.isEmpty())
        found = check("pwm_step_delay", 0, block.pwm_step_delay(), PWM_DELAY_RANGE)
                + check("pwm_slide_delay", 0, block.pwm_slide_delay(), PWM_DELAY_RANGE)
                + check("pwm_smooth_alg", 0, block.pwm_smooth_alg(), {0, 1})
                + check("avrg_light_num", 0, block.avrg_light_num(), AVRG_LIGHT_NUM_RANGE);
    return found;
}

} // namespace

QString check_import_invariant(const QByteArray &document)
{
    const ConfigBlock before = before_import();
    ConfigBlock block = before;
    QString error;
    if (!config_from_json(document, &block, &error)) {
        if (block.bytes != before.bytes)
            return QStringLiteral("a rejected document changed the block");
        return error.isEmpty() ? QStringLiteral("a rejected document gave no reason") : QString();
    }
    if (!std::equal(before.bytes.begin(), before.bytes.begin() + ConfigBlock::STATUS_SIZE, block.bytes.begin()))
        return QStringLiteral("an accepted document changed bytes 0..4");
    if (const QString field = out_of_range(block); !field.isEmpty())
        return QStringLiteral("an accepted document set %1").arg(field);
    ConfigBlock reread = before;
    if (!config_from_json(config_to_json(block, supported_controller()), &reread, &error))
        return QStringLiteral("the export of an accepted document is refused: ") + error;
    if (reread.bytes != block.bytes)
        return QStringLiteral("the export of an accepted document reads back differently");
    return QString();
}
