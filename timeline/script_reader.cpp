#include "timeline/script_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "timeline/script_table.h"

namespace korvanthe {

namespace {

constexpr int MaxWordLength = 31;

// A character stream that knows its line, for the warnings.
struct ScriptScanner {
    std::FILE* file;
    int line;
};

int peekChar(ScriptScanner& scanner) {
    int c = std::getc(scanner.file);
    if (c != EOF) {
        std::ungetc(c, scanner.file);
    }
    return c;
}

void takeChar(ScriptScanner& scanner) {
    if (std::getc(scanner.file) == '\n') {
        scanner.line++;
    }
}

bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

void skipSpace(ScriptScanner& scanner) {
    while (isSpace(peekChar(scanner))) {
        takeChar(scanner);
    }
}

// A decimal int32 with optional sign after optional whitespace. A number that
// does not fit 32 bits does not fit the format either.
bool readNumber(ScriptScanner& scanner, int32_t& value) {
    skipSpace(scanner);
    bool negative = false;
    int c = peekChar(scanner);
    if (c == '+' || c == '-') {
        negative = c == '-';
        takeChar(scanner);
    }
    if (!isDigit(peekChar(scanner))) {
        return false;
    }
    int64_t magnitude = 0;
    bool inRange = true;
    while (isDigit(c = peekChar(scanner))) {
        takeChar(scanner);
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > int64_t{INT32_MAX} + 1) {
            inRange = false;
            magnitude = int64_t{INT32_MAX} + 1; // keeps consuming without overflow
        }
    }
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (!inRange || signedValue > INT32_MAX) {
        return false;
    }
    value = static_cast<int32_t>(signedValue);
    return true;
}

// A run of non-whitespace after optional whitespace; keeps the first 31
// characters and reports a longer run through `tooLong`.
bool readWord(ScriptScanner& scanner, char (&word)[32], bool& tooLong) {
    skipSpace(scanner);
    int length = 0;
    int c;
    while ((c = peekChar(scanner)) != EOF && !isSpace(c)) {
        takeChar(scanner);
        if (length < MaxWordLength) {
            word[length] = static_cast<char>(c);
        } else {
            tooLong = true;
        }
        length++;
    }
    word[length < MaxWordLength ? length : MaxWordLength] = '\0';
    return length > 0;
}

enum ScanResult { ScanEntry, ScanEnd, ScanMisfit };

// Scans one "%d:%d %s %s %d %d %d" entry. On a misfit, `problem` says what
// was expected.
ScanResult scanEntry(ScriptScanner& scanner, ScriptEntry& entry, char (&command)[32], bool& tooLong,
                     int& entryLine, const char*& problem) {
    skipSpace(scanner);
    if (peekChar(scanner) == EOF) {
        return ScanEnd; // trailing whitespace adds no entry
    }
    entryLine = scanner.line;
    problem = "the order number";
    if (!readNumber(scanner, entry.order)) {
        return ScanMisfit;
    }
    problem = "':' right after the order";
    if (peekChar(scanner) != ':') {
        return ScanMisfit;
    }
    takeChar(scanner);
    problem = "the row number";
    if (!readNumber(scanner, entry.row)) {
        return ScanMisfit;
    }
    problem = "the effect name";
    if (!readWord(scanner, entry.name, tooLong)) {
        return ScanMisfit;
    }
    problem = "the command word";
    if (!readWord(scanner, command, tooLong)) {
        return ScanMisfit;
    }
    problem = "three numbers after the command";
    if (!readNumber(scanner, entry.event.p1) || !readNumber(scanner, entry.event.p2) ||
        !readNumber(scanner, entry.event.p3)) {
        return ScanMisfit;
    }
    return ScanEntry;
}

} // namespace

namespace {

// Formats one warning line the way every reader of the script prints it.
template <typename... Args>
void warn(std::vector<std::string>& warnings, const char* format, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    warnings.emplace_back(line);
}

} // namespace

bool readScript(const char* path, ScriptTable& table, std::vector<std::string>& warnings) {
    table.count = 0;
    const size_t warningsBefore = warnings.size();
    std::FILE* file = std::fopen(path, "rb"); // CR counts as whitespace anyway
    if (file == nullptr) {
        warn(warnings, "%s: warning: cannot open the script; the timeline is empty", path);
        return false;
    }
    ScriptScanner scanner{file, 1};
    bool anyText = false;
    for (;;) {
        ScriptEntry entry{};
        char command[32] = {};
        bool tooLong = false;
        int entryLine = 0;
        const char* problem = "";
        ScanResult result = scanEntry(scanner, entry, command, tooLong, entryLine, problem);
        if (result == ScanEnd) {
            break;
        }
        anyText = true;
        if (result == ScanMisfit) {
            // An entry cut short by the end of the file is named by its first line.
            int line = peekChar(scanner) == EOF ? entryLine : scanner.line;
            warn(warnings, "%s:%d: warning: expected %s; the rest of the script is ignored", path,
                 line, problem);
            break;
        }
        if (table.count == MaxScriptEntries) {
            warn(warnings, "%s:%d: warning: more than %d entries; this one and the rest are ignored",
                 path, entryLine, MaxScriptEntries);
            break;
        }
        if (tooLong) {
            warn(warnings,
                 "%s:%d: warning: a name or command word longer than %d characters; entry skipped",
                 path, entryLine, MaxWordLength);
            continue;
        }
        entry.event.command = commandCode(command);
        entry.fired = false;
        table.entries[table.count++] = entry;
    }
    std::fclose(file);
    if (!anyText) {
        warn(warnings, "%s: warning: the script holds no entries; the timeline is empty", path);
    }
    return warnings.size() == warningsBefore;
}

int loadScript(const char* path) {
    std::vector<std::string> warnings;
    readScript(path, scriptTable, warnings);
    for (const std::string& line : warnings) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    return scriptTable.count;
}

} // namespace korvanthe
