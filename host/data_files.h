// Where the demo finds its files. It reads them from the working directory;
// a file the working directory lacks is looked for in ../share/korvanthe
// beside the executable (an installed demo: /usr/bin/korvanthe reads
// /usr/share/korvanthe), then in the executable's own folder (an unpacked
// archive started from elsewhere). Each file is looked up on its own, so a
// single file in the working directory replaces the installed one. No thread
// restrictions; touches only the file system.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvanthe {

struct FoundDataFile {
    std::string name; // as the demo names it, e.g. "soundtrack.xm"
    int folder = -1;  // index into DataFileSearch::folders; -1: found nowhere
    // What to open: the bare name for the working directory (and for a file
    // found nowhere, whose reading then fails as it always did), else the
    // folder's path joined with the name.
    std::string path;
};

struct DataFileSearch {
    // Folder 0 is the working directory; the others follow in search order,
    // each once (a folder that is the same as an earlier one is left out).
    std::vector<std::filesystem::path> folders;
    std::vector<FoundDataFile> files; // in the order asked for
};

// The folders to search: the working directory, then, when an executable
// folder is given, its ../share/korvanthe and the folder itself.
std::vector<std::filesystem::path> dataFolders(const std::filesystem::path& workingFolder,
                                               const std::filesystem::path& executableFolder);

// Looks each name up in the folders of dataFolders, first match wins.
DataFileSearch findDataFiles(const std::vector<std::string>& names,
                             const std::filesystem::path& workingFolder,
                             const std::filesystem::path& executableFolder);

// What to tell the user, one line each, without the program's name: where
// the files came from when not the working directory ("reading its files
// from /usr/share/korvanthe"), and the files found nowhere ("soundtrack.xm
// not found in the working directory, /usr/share/korvanthe or /usr/bin").
// Empty when everything came from the working directory.
std::vector<std::string> describeDataFileSearch(const DataFileSearch& search);

} // namespace korvanthe
