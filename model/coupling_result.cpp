#include "coupling_result.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdlib>

CouplingResult fit_coupling(const std::vector<CouplingPoint> &points, unsigned ambient_start, unsigned ambient_end,
                            bool settled, qint64 measured_at_ms)
{
    CouplingResult result;
    result.points = points;
    result.ambient_start = ambient_start;
    result.ambient_end = ambient_end;
    result.measured_at_ms = measured_at_ms;
    const unsigned moved = ambient_end > ambient_start ? ambient_end - ambient_start : ambient_start - ambient_end;
    const bool room_moved = moved > CouplingResult::MOVED_COUNTS && moved > CouplingResult::MOVED_FRACTION * ambient_start;
    result.stable = settled && !room_moved;

    const double n = double(points.size());
    if (points.empty())
        return result;
    // Summed first: whole numbers add up exactly, so readings that did not
    // change leave no rounding behind to pass for a slope.
    double sum_x = 0, sum_y = 0;
    for (const CouplingPoint &point : points) {
        sum_x += point.percent;
        sum_y += point.reading;
    }
    const double mean_x = sum_x / n, mean_y = sum_y / n;
    double sxx = 0, sxy = 0, syy = 0;
    for (const CouplingPoint &point : points) {
        const double dx = point.percent - mean_x;
        const double dy = point.reading - mean_y;
        sxx += dx * dx;
        sxy += dx * dy;
        syy += dy * dy;
    }
    if (sxx > 0)
        result.counts_per_percent = sxy / sxx;
    if (syy > 0 && sxx > 0)
        result.r_squared = sxy * sxy / (sxx * syy);
    return result;
}

QByteArray coupling_json(const CouplingResult &result)
{
    QJsonObject object;
    if (!result.measured()) {
        object.insert(QStringLiteral("error"), QString::fromLatin1(result.error));
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }
    QJsonArray points;
    for (const CouplingPoint &point : result.points)
        points.append(QJsonArray{int(point.percent), int(point.reading)});
    object.insert(QStringLiteral("counts_per_percent"), result.counts_per_percent);
    object.insert(QStringLiteral("r_squared"), result.r_squared ? QJsonValue(*result.r_squared) : QJsonValue());
    object.insert(QStringLiteral("ambient_start"), int(result.ambient_start));
    object.insert(QStringLiteral("ambient_end"), int(result.ambient_end));
    object.insert(QStringLiteral("stable"), result.stable);
    object.insert(QStringLiteral("points"), points);
    object.insert(QStringLiteral("measured_at"),
                  QDateTime::fromMSecsSinceEpoch(result.measured_at_ms, Qt::UTC).toString(Qt::ISODateWithMs));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

namespace {

// A count a reading or percent can hold: a whole number within 0..limit.
std::optional<unsigned> count_in(const QJsonValue &value, double limit)
{
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number < 0 || number > limit || number != std::floor(number))
        return std::nullopt;
    return unsigned(number);
}

} // namespace

std::optional<CouplingResult> coupling_from_json(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    CouplingResult result;
    if (object.contains(QStringLiteral("error"))) {
        const QString error = object.value(QStringLiteral("error")).toString();
        if (error.isEmpty())
            return std::nullopt;
        result.error = error.toLatin1();
        return result;
    }
    constexpr double READING_LIMIT = 1 << 16;
    const auto ambient_start = count_in(object.value(QStringLiteral("ambient_start")), READING_LIMIT);
    const auto ambient_end = count_in(object.value(QStringLiteral("ambient_end")), READING_LIMIT);
    const QJsonValue k = object.value(QStringLiteral("counts_per_percent"));
    const QJsonValue r_squared = object.value(QStringLiteral("r_squared"));
    const QJsonValue stable = object.value(QStringLiteral("stable"));
    const QDateTime at = QDateTime::fromString(object.value(QStringLiteral("measured_at")).toString(), Qt::ISODateWithMs);
    if (!ambient_start || !ambient_end || !k.isDouble() || !std::isfinite(k.toDouble()) || !stable.isBool()
        || !(r_squared.isNull() || r_squared.isDouble()) || !at.isValid()
        || !object.value(QStringLiteral("points")).isArray())
        return std::nullopt;
    for (const QJsonValue &pair : object.value(QStringLiteral("points")).toArray()) {
        const QJsonArray values = pair.toArray();
        const auto percent = count_in(values.at(0), 100);
        const auto reading = count_in(values.at(1), READING_LIMIT);
        if (values.size() != 2 || !percent || !reading)
            return std::nullopt;
        result.points.push_back({*percent, *reading});
    }
    result.counts_per_percent = k.toDouble();
    if (r_squared.isDouble())
        result.r_squared = r_squared.toDouble();
    result.ambient_start = *ambient_start;
    result.ambient_end = *ambient_end;
    result.stable = stable.toBool();
    result.measured_at_ms = at.toMSecsSinceEpoch();
    return result;
}
