// korvanthe-assetgen OUTPUT_DIR: writes the demo's song, pictures and
// timeline, and the desktop icon, into OUTPUT_DIR. Everything is computed from
// this program's source: the same program always writes the same bytes.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assetgen/icon.h"
#include "tools/assetgen/pictures.h"
#include "tools/assetgen/soundtrack.h"
#include "tools/assetgen/timeline_script.h"
#include "tools/xm_writer/xm_writer.h"

namespace {

constexpr const char* ProgramName = "korvanthe-assetgen";

bool writeFile(const std::filesystem::path& path, const void* data, size_t size) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", ProgramName, path.string().c_str(),
                     std::strerror(errno));
        return false;
    }
    bool ok = std::fwrite(data, 1, size, file) == size;
    int savedErrno = errno;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", ProgramName, path.string().c_str(),
                     std::strerror(savedErrno ? savedErrno : errno));
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    using namespace korvanthe;
    using namespace korvanthe::assetgen;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", ProgramName);
        return 2;
    }
    std::filesystem::path directory = argv[1];
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot create %s: %s\n", ProgramName, directory.string().c_str(),
                     error.message().c_str());
        return 1;
    }

    std::vector<uint8_t> song = writeXm(makeSoundtrack());
    if (!writeFile(directory / "soundtrack.xm", song.data(), song.size())) {
        return 1;
    }
    for (const PictureFile& picture : makePictures()) {
        if (!writeFile(directory / picture.fileName, picture.bytes.data(), picture.bytes.size())) {
            return 1;
        }
    }
    std::vector<uint8_t> icon = makeIconPng();
    if (!writeFile(directory / IconFileName, icon.data(), icon.size())) {
        return 1;
    }
    std::string script = formatScript(makeTimeline());
    if (!writeFile(directory / "random.scp", script.data(), script.size())) {
        return 1;
    }
    return 0;
}
