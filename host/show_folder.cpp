#include "host/show_folder.h"

#include <system_error>
#include <vector>

#include "host/images.h"
#include "host/main_sequence.h"
#include "module/file_callbacks.h"
#include "module/module.h"
#include "module/xm_loader.h"
#include "timeline/script_reader.h"
#include "timeline/script_table.h"

namespace korvanthe {

namespace {

std::string songProblem(const std::string& path) {
    useStandardFileCallbacks();
    XmLoadReport report;
    Module* song = createModule(path.c_str(), &report);
    if (song == nullptr) {
        return path + ": " + loadErrorText(report.error);
    }
    freeModule(song);
    return {};
}

// The reader's first warning, which names the file and the line, without
// its "warning: " (here it refuses the folder).
std::string scriptProblem(const std::string& path) {
    static ScriptTable table; // 260 entries: kept off the stack
    std::vector<std::string> warnings;
    if (readScript(path.c_str(), table, warnings) || warnings.empty()) {
        return {};
    }
    std::string line = warnings.front();
    const std::string::size_type mark = line.find("warning: ");
    if (mark != std::string::npos) {
        line.erase(mark, 9);
    }
    return line;
}

} // namespace

std::string showFolderProblem(const std::filesystem::path& folder) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        return folder.string() + ": no such folder";
    }
    std::string problem = songProblem((folder / songFileName).string());
    if (!problem.empty()) {
        return problem;
    }
    problem = scriptProblem((folder / scriptFileName).string());
    if (!problem.empty()) {
        return problem;
    }
    for (const PictureFile& picture : PictureFiles) {
        const std::string path = (folder / picture.fileName).string();
        problem = pictureFileMismatch(path.c_str(), picture.reader == PictureReader::Targa,
                                      picture.width, picture.height);
        if (!problem.empty()) {
            return path + ": " + problem;
        }
    }
    return {};
}

} // namespace korvanthe
