// The player reads files only through one process-wide set of five file
// operations that its user registers; PlayerFile wraps the handle that the
// open operation gave. The program registers the standard-stream set.
#pragma once

#include <cstdint>

namespace korvanthe {

using FileOpenCallback = void* (*)(const char* path); // null when not opened
using FileCloseCallback = int (*)(void* stream);
// Reads up to `length` bytes; gives the number of bytes read.
using FileReadCallback = int32_t (*)(void* buffer, int32_t length, void* stream);
// origin 0: from the start of the file; 1: from the current position.
using FileSeekCallback = int (*)(void* stream, int32_t offset, int8_t origin);
using FileTellCallback = int32_t (*)(void* stream);

constexpr int8_t SeekFromStart = 0;
constexpr int8_t SeekFromCurrent = 1;

struct FileCallbacks {
    FileOpenCallback open;
    FileCloseCallback close;
    FileReadCallback read;
    FileSeekCallback seek;
    FileTellCallback tell;
};

struct PlayerFile {
    void* stream; // what open gave
};

// Makes the five operations the current set when all are non-null; when any is
// null, clears the whole current set. First thread, before playback.
void setFileCallbacks(FileOpenCallback open, FileCloseCallback close, FileReadCallback read,
                      FileSeekCallback seek, FileTellCallback tell);

// True while a complete set is registered.
bool fileCallbacksRegistered();

// Registers the set on the standard buffered streams (fopen "rb", fclose,
// fread, fseek, ftell).
void useStandardFileCallbacks();

// Opens a file through the current set. Null when open gave null, and null
// when no complete set is registered. Release with closePlayerFile.
PlayerFile* openPlayerFile(const char* path);

// Closes the stream and releases the record; nothing for null.
void closePlayerFile(PlayerFile* file);

// Gives what read gave; 0 for a null file.
int32_t readPlayerFile(void* buffer, int32_t length, PlayerFile* file);

// Moves the position (origin SeekFromStart or SeekFromCurrent); nothing for null.
void seekPlayerFile(PlayerFile* file, int32_t offset, int8_t origin);

// Gives what tell gave; 0 for a null file.
int32_t tellPlayerFile(PlayerFile* file);

} // namespace korvanthe
