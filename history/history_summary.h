#pragma once

#include "curve_fit.h"
#include "history_rows.h"
#include "model/coupling_result.h"

#include <QMetaType>

#include <optional>

class HistoryStore;

// What the curve window shows of one controller's history: where the light
// has been, where the owner overruled the curve, light and brightness over
// the last week, and the curve those corrections propose.
struct HistorySummary
{
    static constexpr int BAND_DAYS = 30;     // the band and the dots
    static constexpr int SAMPLES_DAYS = 7;   // the time view's longest span
    static constexpr int SAMPLE_SECONDS = 300;

    QString identity;
    LightHistogram histogram;
    std::vector<CorrectionRow> corrections;
    std::vector<MinuteRow> samples; // SAMPLE_SECONDS each, oldest first
    CurveProposal proposal;
    // Asked without a controller: the configuration the controller last
    // loaded, which the proposal starts from (none recorded: nothing).
    std::optional<StoredConfiguration> last_configuration;
    // The lamp's coupling measured last; the proposal keeps within it.
    std::optional<CouplingResult> coupling;
};
Q_DECLARE_METATYPE(HistorySummary)

// Reads the summary from `store` at `now_ms`; `current` is the controller's
// applied configuration, which the proposal starts from. Without one, the
// configuration it last loaded stands in (the controller recorded last for
// an empty identity).
HistorySummary summarise_history(const HistoryStore &store, QString identity, const std::optional<ConfigBlock> &current,
                                 LightPositions positions, qint64 now_ms);
