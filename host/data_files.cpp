#include "host/data_files.h"

#include <system_error>

namespace korvanthe {

namespace fs = std::filesystem;

namespace {

bool sameFolder(const fs::path& one, const fs::path& other) {
    std::error_code error;
    if (fs::equivalent(one, other, error)) {
        return true;
    }
    // A folder that does not exist cannot be compared by identity.
    return one.lexically_normal() == other.lexically_normal();
}

bool isFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// The path as text for fopen. A path the narrow character set cannot
// express (Windows) is as good as missing.
bool pathText(const fs::path& path, std::string& text) {
    try {
        text = path.string();
        return true;
    } catch (...) {
        return false;
    }
}

std::string folderDescription(const DataFileSearch& search, size_t folder) {
    if (folder == 0) {
        return "the working directory";
    }
    std::string text;
    return pathText(search.folders[folder], text) ? text : "the executable's folder";
}

// "a", "a or b", "a, b or c".
std::string alternatives(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += i + 1 == items.size() ? " or " : ", ";
        }
        text += items[i];
    }
    return text;
}

std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        text += (i > 0 ? ", " : "") + items[i];
    }
    return text;
}

} // namespace

std::vector<fs::path> dataFolders(const fs::path& workingFolder, const fs::path& executableFolder) {
    std::vector<fs::path> folders{workingFolder};
    if (executableFolder.empty()) {
        return folders;
    }
    const fs::path candidates[] = {
        (executableFolder / ".." / "share" / "korvanthe").lexically_normal(),
        executableFolder.lexically_normal(),
    };
    for (const fs::path& candidate : candidates) {
        bool known = false;
        for (const fs::path& folder : folders) {
            known = known || sameFolder(folder, candidate);
        }
        if (!known) {
            folders.push_back(candidate);
        }
    }
    return folders;
}

DataFileSearch findDataFiles(const std::vector<std::string>& names, const fs::path& workingFolder,
                             const fs::path& executableFolder) {
    DataFileSearch search;
    search.folders = dataFolders(workingFolder, executableFolder);
    for (const std::string& name : names) {
        FoundDataFile file{name, -1, name};
        for (size_t folder = 0; folder < search.folders.size(); ++folder) {
            const fs::path candidate = search.folders[folder] / name;
            std::string text = name;
            if (isFile(candidate) && (folder == 0 || pathText(candidate, text))) {
                file.folder = static_cast<int>(folder);
                file.path = text;
                break;
            }
        }
        search.files.push_back(file);
    }
    return search;
}

std::vector<std::string> describeDataFileSearch(const DataFileSearch& search) {
    std::vector<std::string> lines;
    std::vector<std::vector<std::string>> byFolder(search.folders.size());
    std::vector<std::string> missing;
    size_t found = 0;
    for (const FoundDataFile& file : search.files) {
        if (file.folder < 0) {
            missing.push_back(file.name);
        } else {
            byFolder[static_cast<size_t>(file.folder)].push_back(file.name);
            ++found;
        }
    }
    std::string reading;
    for (size_t folder = 1; folder < byFolder.size(); ++folder) {
        if (byFolder[folder].empty()) {
            continue;
        }
        const bool all = byFolder[folder].size() == found;
        reading += (reading.empty() ? "reading " : "; ") +
                   (all ? std::string("its files") : listed(byFolder[folder])) + " from " +
                   folderDescription(search, folder);
    }
    if (!reading.empty()) {
        lines.push_back(reading);
    }
    if (!missing.empty()) {
        std::vector<std::string> places;
        for (size_t folder = 0; folder < search.folders.size(); ++folder) {
            places.push_back(folderDescription(search, folder));
        }
        lines.push_back(listed(missing) + " not found in " + alternatives(places));
    }
    return lines;
}

} // namespace korvanthe
