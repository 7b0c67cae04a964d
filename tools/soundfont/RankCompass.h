#pragma once
// The notes a rank can be asked for: every key of every division that
// reaches one of the rank's stops, directly or through a coupler, moved by
// the stop's pitch offset and the coupler's transposition.

#include <utility>

namespace corvinta::soundfont {

struct NoteSpan {
    int low = 127;
    int high = 0;
    bool Empty() const { return low > high; }
};

NoteSpan RankCompass(int rank);

} // namespace corvinta::soundfont
