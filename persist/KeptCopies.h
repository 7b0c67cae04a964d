#pragma once
// Copies of the organist's files kept before they are written over: a file
// that did not load ("NAME.bad", the last three kept) and the original of a
// file whose conversion loses data ("NAME.v600").

#include <string>

namespace corvinta {

inline constexpr int kBadCopiesKept = 3; // NAME.bad, NAME.bad.1, NAME.bad.2

std::string BadCopyName(const std::string& path);

// Copies `path` to `copyPath`, replacing an older copy; false when the copy
// could not be made whole.
bool KeepCopy(const std::string& path, const std::string& copyPath);

// Moves earlier bad copies one place along (the oldest beyond the last
// place is dropped), then copies `path` to NAME.bad. True when there was
// nothing to keep or the copy was made.
bool KeepAsBad(const std::string& path);

} // namespace corvinta
