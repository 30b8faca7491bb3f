#include "module/file_callbacks.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace korvanthe {

namespace {

FileCallbacks currentSet{};

void* standardOpen(const char* path) {
    return std::fopen(path, "rb");
}

int standardClose(void* stream) {
    return std::fclose(static_cast<FILE*>(stream));
}

int32_t standardRead(void* buffer, int32_t length, void* stream) {
    if (length <= 0) {
        return 0;
    }
    return static_cast<int32_t>(
        std::fread(buffer, 1, static_cast<size_t>(length), static_cast<FILE*>(stream)));
}

int standardSeek(void* stream, int32_t offset, int8_t origin) {
    return std::fseek(static_cast<FILE*>(stream), offset,
                      origin == SeekFromCurrent ? SEEK_CUR : SEEK_SET);
}

int32_t standardTell(void* stream) {
    long position = std::ftell(static_cast<FILE*>(stream));
    // Positions beyond 2 GiB do not fit the interface; they read as its end.
    return position > INT32_MAX ? INT32_MAX : static_cast<int32_t>(position);
}

} // namespace

void setFileCallbacks(FileOpenCallback open, FileCloseCallback close, FileReadCallback read,
                      FileSeekCallback seek, FileTellCallback tell) {
    if (open == nullptr || close == nullptr || read == nullptr || seek == nullptr ||
        tell == nullptr) {
        currentSet = {};
        return;
    }
    currentSet = {open, close, read, seek, tell};
}

bool fileCallbacksRegistered() {
    return currentSet.open != nullptr;
}

void useStandardFileCallbacks() {
    setFileCallbacks(standardOpen, standardClose, standardRead, standardSeek, standardTell);
}

PlayerFile* openPlayerFile(const char* path) {
    // Opening with no complete set registered is a caller error; it gives null.
    if (!fileCallbacksRegistered() || path == nullptr) {
        return nullptr;
    }
    auto* file = static_cast<PlayerFile*>(std::calloc(1, sizeof(PlayerFile)));
    if (file == nullptr) {
        return nullptr;
    }
    file->stream = currentSet.open(path);
    if (file->stream == nullptr) {
        std::free(file);
        return nullptr;
    }
    return file;
}

void closePlayerFile(PlayerFile* file) {
    if (file == nullptr) {
        return;
    }
    // A set cleared while the file was open cannot close it; the record still goes.
    if (currentSet.close != nullptr) {
        currentSet.close(file->stream);
    }
    std::free(file);
}

int32_t readPlayerFile(void* buffer, int32_t length, PlayerFile* file) {
    if (file == nullptr || currentSet.read == nullptr) {
        return 0;
    }
    return currentSet.read(buffer, length, file->stream);
}

void seekPlayerFile(PlayerFile* file, int32_t offset, int8_t origin) {
    if (file != nullptr && currentSet.seek != nullptr) {
        currentSet.seek(file->stream, offset, origin);
    }
}

int32_t tellPlayerFile(PlayerFile* file) {
    if (file == nullptr || currentSet.tell == nullptr) {
        return 0;
    }
    return currentSet.tell(file->stream);
}

} // namespace korvanthe
