#include "core/journal/ProductionJournal.h"

namespace qzr {

void addToCounts(LotCounts& counts, const std::string& station, std::string_view outcome, long long chips) {
    if (counts.stations.empty() || counts.stations.back().station != station)
        counts.stations.push_back({station, 0, 0, 0});
    StationCounts& s = counts.stations.back();
    switch (outcomeFromName(outcome).value_or(ChipOutcome::Reserved)) {
        case ChipOutcome::Pass:
            s.passed += chips;
            counts.passed += chips;
            break;
        case ChipOutcome::Fail:
            s.failed += chips;
            counts.failed += chips;
            break;
        case ChipOutcome::Interrupted:
            s.interrupted += chips;
            counts.interrupted += chips;
            break;
        case ChipOutcome::Reserved:
            break;
    }
}

}  // namespace qzr
