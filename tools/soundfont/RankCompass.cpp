#include "tools/soundfont/RankCompass.h"

#include "organ/OrganTables.h"

#include <algorithm>
#include <vector>

namespace corvinta::soundfont {

namespace {

bool SoundsRank(const StopDefinition& stop, int rank)
{
    if (stop.kind != StopKind::RankStop && stop.kind != StopKind::PatchSwitchStop)
        return false;
    const int first = stop.rankOrDivision;
    if (rank >= first && rank < first + stop.ranks)
        return true;
    return stop.tibiaAlternative && rank == first + kTibiaRankShift;
}

} // namespace

NoteSpan RankCompass(int rank)
{
    NoteSpan span;
    for (int d = 0; d < kDivisionCount; ++d) {
        // The division's own stops at unison, then every coupler it can draw.
        std::vector<std::pair<int, int>> reached{{d, 0}};
        for (int i = 0; i < kDivisions[d].stopCount; ++i) {
            const StopDefinition& s = kStops[StopItem(d, i)];
            if (s.kind == StopKind::CouplerStop || s.kind == StopKind::QuietCouplerStop)
                reached.emplace_back(s.rankOrDivision, s.pitchOrNote);
        }
        for (auto [e, transposition] : reached) {
            for (int i = 0; i < kDivisions[e].stopCount; ++i) {
                const StopDefinition& s = kStops[StopItem(e, i)];
                if (!SoundsRank(s, rank))
                    continue;
                span.low = std::min(span.low, kDivisions[d].lowNote + transposition + s.pitchOrNote);
                span.high = std::max(span.high, kDivisions[d].highNote + transposition + s.pitchOrNote);
            }
        }
    }
    span.low = std::clamp(span.low, 0, 127);
    span.high = std::clamp(span.high, 0, 127);
    return span;
}

} // namespace corvinta::soundfont
