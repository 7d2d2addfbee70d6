#include "history_summary.h"

#include "history_store.h"
#include "model/loop_gain.h"

HistorySummary summarise_history(const HistoryStore &store, QString identity, const std::optional<ConfigBlock> &current,
                                 LightPositions positions, qint64 now_ms)
{
    const qint64 now = now_ms / 1000;
    HistorySummary summary;
    if (!current) {
        summary.last_configuration = store.latest_configuration(identity);
        if (!summary.last_configuration)
            return summary;
        identity = summary.last_configuration->identity;
    }
    summary.identity = identity;
    summary.histogram = store.light_histogram(identity, now - qint64(HistorySummary::BAND_DAYS) * 24 * 3600);
    summary.corrections =
        store.corrections(identity, now_ms - qint64(HistorySummary::BAND_DAYS) * 24 * 3600 * 1000, now_ms + 1);
    summary.samples = store.periods(identity, now - qint64(HistorySummary::SAMPLES_DAYS) * 24 * 3600, now + 1,
                                    HistorySummary::SAMPLE_SECONDS);
    summary.coupling = store.last_coupling(identity);
    // The proposal learns from every correction kept, not only the band's month.
    summary.proposal = CurveFit::propose(store.corrections_to_learn_from(identity, now_ms + 1), summary.histogram,
                                         current ? *current : summary.last_configuration->config, positions,
                                         measured_coupling(summary.coupling));
    return summary;
}
