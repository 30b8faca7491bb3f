// korvanthe-assetgen OUTPUT_DIR: writes the demo's song, pictures and
// timeline, and the desktop icon, into OUTPUT_DIR. Everything is computed from
// this program's source: the same program always writes the same bytes.
// korvanthe-assetgen --example FOLDER writes the small example show a demo
// of one's own starts from (tools/assetgen/example_show.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assetgen/example_show.h"
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
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: %s OUTPUT_DIR | --example FOLDER\n"
                    "Writes the demo's song (soundtrack.xm), timeline (random.scp), pictures\n"
                    "(gridtile.tga and six .raw files) and desktop icon (%s) into OUTPUT_DIR,\n"
                    "which is made if missing. The same program always writes the same bytes.\n"
                    "  --example FOLDER  a small show to start one's own from instead: a short\n"
                    "                 song, a short script and the demo's pictures (no icon)\n"
                    "  -h, --help     this text\n"
                    "      --version  the program's version\n",
                    ProgramName, IconFileName);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", ProgramName, KORVANTHE_VERSION);
        return 0;
    }
    // A folder name that starts with a dash is far more likely a mistyped
    // option than a wish: refuse it rather than fill a folder named "-x".
    const bool example = argc == 3 && std::strcmp(argv[1], "--example") == 0;
    const char* folder = example ? argv[2] : argc == 2 ? argv[1] : nullptr;
    if (folder == nullptr || folder[0] == '-') {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR | --example FOLDER (see %s --help)\n",
                     ProgramName, ProgramName);
        return 2;
    }
    std::filesystem::path directory = folder;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot create %s: %s\n", ProgramName, directory.string().c_str(),
                     error.message().c_str());
        return 1;
    }

    std::vector<uint8_t> song = writeXm(example ? makeExampleSong() : makeSoundtrack());
    if (!writeFile(directory / "soundtrack.xm", song.data(), song.size())) {
        return 1;
    }
    for (const PictureFile& picture : makePictures()) {
        if (!writeFile(directory / picture.fileName, picture.bytes.data(), picture.bytes.size())) {
            return 1;
        }
    }
    if (!example) {
        std::vector<uint8_t> icon = makeIconPng();
        if (!writeFile(directory / IconFileName, icon.data(), icon.size())) {
            return 1;
        }
    }
    std::string script = formatScript(example ? makeExampleTimeline() : makeTimeline());
    if (!writeFile(directory / "random.scp", script.data(), script.size())) {
        return 1;
    }
    return 0;
}
