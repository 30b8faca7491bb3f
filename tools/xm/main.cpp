// korvanthe-xm COMMAND ...: plays, renders and inspects XM files with
// Korvanthe's own player.
#include <cstdio>
#include <string>

#include "tools/xm/commands.h"
#include "tools/xm/playback_options.h"

namespace {

using korvanthe::CommandArguments;
using korvanthe::XmCommand;

// One line per subcommand; each is one file.
const XmCommand* const commands[] = {
    &korvanthe::playCommand,
    &korvanthe::renderCommand,
    &korvanthe::infoCommand,
    &korvanthe::traceCommand,
};

const XmCommand* findCommand(const std::string& name) {
    for (const XmCommand* command : commands) {
        if (name == command->name) {
            return command;
        }
    }
    return nullptr;
}

void printUsage(FILE* stream) {
    std::fprintf(stream, "usage: korvanthe-xm COMMAND [options] FILE...\n"
                         "Plays, renders and inspects XM modules with Korvanthe's own player.\n"
                         "\ncommands:\n");
    for (const XmCommand* command : commands) {
        std::fprintf(stream, "  %-32s %s\n", command->synopsis, command->summary);
    }
    std::fprintf(stream, "  %-32s %s\n", "help [COMMAND]", "this help, or a command's options");
    std::fprintf(stream, "\noptions:\n"
                         "  -h, --help                       this help\n"
                         "  --version                        the version\n"
                         "\nexamples:\n"
                         "  korvanthe-xm play song.xm\n"
                         "  korvanthe-xm play song.xm --start 4 --solo 1,3-5\n"
                         "  korvanthe-xm render song.xm -o song.wav\n"
                         "  korvanthe-xm render song.xm -o - | sox -t wav - -n stat\n"
                         "  korvanthe-xm info --json song.xm\n"
                         "  korvanthe-xm help render\n");
}

void printCommandHelp(const XmCommand& command) {
    std::printf("usage: korvanthe-xm %s\n%s\noptions:\n%s%s", command.synopsis, command.description,
                command.options,
                command.takesPlaybackOptions ? korvanthe::PlaybackOptionsHelp : "");
    std::printf("  -h, --help         this help\n");
    if (*command.examples != 0) {
        std::printf("\nexamples:\n");
        const std::string examples = command.examples;
        for (size_t start = 0; start < examples.size();) {
            const size_t end = examples.find('\n', start);
            std::printf("  %s\n", examples.substr(start, end - start).c_str());
            start = end == std::string::npos ? examples.size() : end + 1;
        }
    }
}

int unknownCommand(const std::string& name) {
    std::fprintf(stderr, "korvanthe-xm: unknown command \"%s\" (see korvanthe-xm --help)\n",
                 name.c_str());
    return korvanthe::ExitUsageError;
}

// "--rate=48000" becomes "--rate" "48000", so every option takes both forms.
CommandArguments splitArguments(int count, char** words) {
    CommandArguments arguments;
    for (int i = 0; i < count; ++i) {
        const std::string word = words[i];
        const size_t equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos && equals > 2) {
            arguments.push_back(word.substr(0, equals));
            arguments.push_back(word.substr(equals + 1));
        } else {
            arguments.push_back(word);
        }
    }
    return arguments;
}

bool asksForHelp(const std::string& word) {
    return word == "-h" || word == "--help";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return korvanthe::ExitUsageError;
    }
    const std::string first = argv[1];
    if (asksForHelp(first)) {
        printUsage(stdout);
        return 0;
    }
    if (first == "--version") {
        std::printf("korvanthe-xm %s\n", KORVANTHE_VERSION);
        return 0;
    }
    if (first == "help") {
        if (argc == 2) {
            printUsage(stdout);
            return 0;
        }
        const XmCommand* command = findCommand(argv[2]);
        if (command == nullptr) {
            return unknownCommand(argv[2]);
        }
        printCommandHelp(*command);
        return 0;
    }
    const XmCommand* command = findCommand(first);
    if (command == nullptr) {
        if (first.size() > 1 && first[0] == '-') {
            std::fprintf(stderr, "korvanthe-xm: unknown option \"%s\" (see korvanthe-xm --help)\n",
                         first.c_str());
            return korvanthe::ExitUsageError;
        }
        return unknownCommand(first);
    }
    const CommandArguments arguments = splitArguments(argc - 2, argv + 2);
    for (const std::string& word : arguments) {
        if (asksForHelp(word)) {
            printCommandHelp(*command);
            return 0;
        }
    }
    return command->run(arguments);
}
