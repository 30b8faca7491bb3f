// The demo's entry: everything happens in the main sequence. Without options
// it is the demo as it always was; --author turns it into the tool a demo
// maker builds a show with (host/author_mode.h). --help and --version only
// answer and exit.
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/song_position.h"
#include "host/author_mode.h"
#include "host/main_sequence.h"
#include "host/quit_request.h"
#include "platform/executable_folder.h"

namespace {

constexpr int ExitUsage = 2;

void printHelp() {
    std::printf("Usage: korvanthe [--author [FOLDER] [--start POS]] | --help | --version\n"
                "A real-time audiovisual demo: a 640 x 480 OpenGL picture (fullscreen, scaled\n"
                "to the screen) driven by a timeline that follows its tracker song.\n"
                "\n"
                "Keys: Escape ends it, Space switches between fullscreen and a window.\n"
                "Files: soundtrack.xm, random.scp, gridtile.tga and six .raw pictures, read\n"
                "from the working directory, else from ../share/korvanthe beside the\n"
                "executable, else from the executable's folder.\n"
                "\n"
                "--author [FOLDER]  author mode: runs the show of FOLDER (its files only;\n"
                "                   without FOLDER the files found as above) in a window, with\n"
                "                   keys to move about in the song, the timeline following every\n"
                "                   move exactly, and an edited script, picture or song read\n"
                "                   again while it runs. The title and, on a terminal, one line\n"
                "                   show the order, row and time heard.\n"
                "--start POS        author mode starts there: ORDER, ORDER:ROW or a time\n"
                "                   (1:23.5, 83.5s)\n"
                "Keys in author mode:\n"
                "%s"
                "\n"
                "Exit status: 0 when ended (Escape, the close box); 1 when no window could\n"
                "be opened; 2 for an unknown argument or a start the song lacks. SIGINT and\n"
                "SIGTERM end it cleanly.\n",
                korvanthe::authorKeysHelp());
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvanthe: %s (see korvanthe --help)\n", message.c_str());
    return ExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    korvanthe::AuthorSettings author;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" && argc == 2) {
            printHelp();
            return 0;
        }
        if (word == "--version" && argc == 2) {
            std::printf("korvanthe %s\n", KORVANTHE_VERSION);
            return 0;
        }
        if (word == "--author") {
            author.enabled = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') {
                author.folder = argv[++i];
            }
        } else if (word == "--start") {
            if (i + 1 >= argc || !korvanthe::parseSongPosition(argv[i + 1], author.start)) {
                return usageError("--start takes ORDER, ORDER:ROW or a time such as 1:23.5 or "
                                  "83.5s");
            }
            author.hasStart = true;
            ++i;
        } else {
            return usageError("unexpected argument '" + word + "'");
        }
    }
    if (author.hasStart && !author.enabled) {
        return usageError("--start works in author mode (--author)");
    }
    korvanthe::installQuitSignalHandlers();
    korvanthe::setAuthorSettings(author);
    korvanthe::DataFileLookup lookup;
    lookup.executableFolder = korvanthe::platformExecutableFolder();
    lookup.report = true;
    lookup.folder = author.folder;
    const int status = korvanthe::runMainSequence({}, lookup);
    // A quit signal: the demo has shut down; the process now ends by it.
    korvanthe::endWithQuitSignal();
    return status;
}
