#pragma once
// Where the organist's own files (Corvinta.xml, Corvinta.cbo) are kept. A
// working folder that already holds either is a portable set-up and keeps
// them; files named on the command line are used as named; otherwise they
// live in $XDG_CONFIG_HOME/corvinta (~/.config/corvinta), since a program
// started from a launcher runs in the home folder.

#include <filesystem>
#include <string>

namespace corvinta {

struct OrganistFiles {
    std::string configFile;
    std::string comboFile;
    // The folder the unnamed files are in, absolute: the working folder or
    // the configuration folder, which may not exist yet.
    std::filesystem::path folder;
    bool inWorkingFolder = true;
};

// $XDG_CONFIG_HOME/corvinta when that is an absolute path, else
// $HOME/.config/corvinta (the password database's home when HOME is unset).
std::filesystem::path ConfigHomeFolder();

// namedConfig and namedCombo are the command line's file names, empty when
// not given.
OrganistFiles ChooseOrganistFiles(const std::string& namedConfig, const std::string& namedCombo);

// Creates the configuration folder on first use; true when it is there.
bool MakeOrganistFolder(const OrganistFiles& files);

// One line for the organist: which folder holds the files.
std::string OrganistFolderText(const OrganistFiles& files);

} // namespace corvinta
