#pragma once
// Files the organ ships with (its sound font, its start-up piece) are named
// relative to the current folder, as the organist's own files are. When such
// a name is not found there, the program's own data folders are searched:
// $CORVINTA_DATA_DIR, the executable's folder (a build tree), then the
// installed data folder beside it (../share/corvinta). All are found from
// the executable itself, so an installed tree may be moved as a whole.

#include <string>

namespace corvinta {

// The name itself when it exists or is absolute, else the first data folder
// that has it, else the name unchanged.
std::string FindDataFile(const std::string& name);

} // namespace corvinta
