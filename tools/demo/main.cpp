// The demo's entry: everything happens in the main sequence. The demo takes
// no options; --help and --version only answer and exit.
#include <cstdio>
#include <cstring>

#include "host/main_sequence.h"
#include "host/quit_request.h"
#include "platform/executable_folder.h"

namespace {

constexpr int ExitUsage = 2;

void printHelp() {
    std::printf("Usage: korvanthe [--help | --version]\n"
                "A real-time audiovisual demo: a 640 x 480 OpenGL picture (fullscreen, scaled\n"
                "to the screen) driven by a timeline that follows its tracker song.\n"
                "\n"
                "Keys: Escape ends it, Space switches between fullscreen and a window.\n"
                "Files: soundtrack.xm, random.scp, gridtile.tga and six .raw pictures, read\n"
                "from the working directory, else from ../share/korvanthe beside the\n"
                "executable, else from the executable's folder.\n"
                "Exit status: 0 when ended (Escape, the close box); 1 when no window could\n"
                "be opened; 2 for an unknown argument. SIGINT and SIGTERM end it cleanly.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
            printHelp();
            return 0;
        }
        if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
            std::printf("korvanthe %s\n", KORVANTHE_VERSION);
            return 0;
        }
        std::fprintf(stderr,
                     "korvanthe: unexpected argument '%s' (the demo takes no options; "
                     "see korvanthe --help)\n",
                     argv[1]);
        return ExitUsage;
    }
    korvanthe::installQuitSignalHandlers();
    korvanthe::DataFileLookup lookup;
    lookup.executableFolder = korvanthe::platformExecutableFolder();
    lookup.report = true;
    const int status = korvanthe::runMainSequence({}, lookup);
    // A quit signal: the demo has shut down; the process now ends by it.
    korvanthe::endWithQuitSignal();
    return status;
}
