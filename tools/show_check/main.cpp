// korvanthe-show-check FOLDER: checks that FOLDER holds a whole show of its
// own (host/show_folder.h) before it is published; the first problem is one
// line naming the file and the reason, exit status 1.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/show_folder.h"

namespace {

constexpr const char* ProgramName = "korvanthe-show-check";

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: %s FOLDER\n"
                    "Checks that FOLDER holds a show the demo reads without a warning:\n"
                    "soundtrack.xm loads, every line of random.scp reads, and gridtile.tga and\n"
                    "the six .raw pictures have their sizes. Prints nothing and exits 0 when\n"
                    "it does; otherwise one line naming the file and the reason, exit 1.\n"
                    "  -h, --help     this text\n"
                    "      --version  the program's version\n",
                    ProgramName);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", ProgramName, KORVANTHE_VERSION);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s FOLDER (see %s --help)\n", ProgramName, ProgramName);
        return 2;
    }
    const std::string problem = korvanthe::showFolderProblem(argv[1]);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", ProgramName, problem.c_str());
        return 1;
    }
    return 0;
}
