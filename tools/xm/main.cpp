// korvanthe-xm COMMAND ...: inspects XM files with Korvanthe's own player.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "tools/xm/commands.h"

namespace {

using korvanthe::XmCommand;

// One line per subcommand.
constexpr XmCommand commands[] = {
    {"info", "info FILE [--json]", korvanthe::runInfoCommand},
    {"render", "render FILE -o OUT.wav [--seconds S] [--positions LOG]",
     korvanthe::runRenderCommand},
    {"trace", "trace FILE --ticks N", korvanthe::runTraceCommand},
    {"play", "play FILE", korvanthe::runPlayCommand},
};

void printUsage(FILE* stream) {
    std::fprintf(stream, "usage:\n");
    for (const XmCommand& command : commands) {
        std::fprintf(stream, "  korvanthe-xm %s\n", command.usage);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return korvanthe::ExitUsageError;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        printUsage(stdout);
        return 0;
    }
    for (const XmCommand& command : commands) {
        if (std::strcmp(argv[1], command.name) == 0) {
            return command.run(korvanthe::CommandArguments(argv + 2, argv + argc));
        }
    }
    std::fprintf(stderr, "korvanthe-xm: unknown command \"%s\"\n", argv[1]);
    printUsage(stderr);
    return korvanthe::ExitUsageError;
}
