#pragma once

#include "history_rows.h"
#include "protocol/config_block.h"

#include <QCoreApplication>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// A curve proposed from the owner's manual corrections: pure functions, no
// database and no widgets.
//
// Each correction says "at this light I wanted this level". It counts for
// the curve points on either side of its light, the nearer one more (the
// weights of linear interpolation between the points), as the difference
// between the level chosen and what the curve drives there. In a round, a
// point moves by the weighted median of those differences (robust against
// a stray correction), shrunk by one correction's weight; a point with none
// (or less than half of one's weight) keeps its level. When the current
// curve never falls as light rises, neither does the proposal (weighted
// isotonic regression); an owner's curve that does fall keeps its shape
// wherever there are no corrections; a proposal that never falls is held
// to that, as it will be once applied. With a measured coupling each round
// ends by flattening the segments steep enough to hunt. Rounds repeat, each
// measuring the differences against the curve the last one left, until one
// moves no point: the proposal is that settled curve, so proposing again
// from the same history once it is applied changes nothing.
//
// A band is the stretch of light nearer one point than any other. A
// proposal needs MIN_CORRECTIONS corrections in at least MIN_BANDS bands:
// corrections all at one light say nothing about the curve's shape.

struct CurvePoint
{
    unsigned light = 0; // 0..LIGHT_FULL_SCALE
    unsigned width = 0; // 0..PWM_FULL_SCALE
};
using Curve = std::array<CurvePoint, ConfigBlock::CURVE_POINTS>;

// The seven points of bytes 5..36, in point order.
Curve curve_of(const ConfigBlock &config);

enum class LightPositions {
    keep,        // the points stay at the owner's light levels
    follow_time, // the points move to where the time is spent (quantiles of the light histogram)
};

struct CurveProposal
{
    bool made = false;
    // One line: "12 corrections over 9 days; points 2 and 3 would change",
    // or why there is no proposal.
    QString explanation;
    Curve points{};
    std::array<bool, ConfigBlock::CURVE_POINTS> changed{}; // by point, 0-based
    // The current configuration with the proposed curve, every value within
    // what an import accepts.
    ConfigBlock config;
};

class CurveFit
{
    Q_DECLARE_TR_FUNCTIONS(CurveFit)

public:
    static constexpr int MIN_CORRECTIONS = 5;
    static constexpr int MIN_BANDS = 2;

    // With the lamp's measured coupling (light counts per 1 % of brightness)
    // no proposed segment's loop gain reaches MAY_GAIN: the steeper ones are
    // flattened, and the explanation says so.
    static CurveProposal propose(const std::vector<CorrectionRow> &corrections, const LightHistogram &histogram,
                                 const ConfigBlock &current, LightPositions positions,
                                 std::optional<double> counts_per_percent = std::nullopt);
};
