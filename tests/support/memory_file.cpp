#include "tests/support/memory_file.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "module/file_callbacks.h"

namespace korvanthe::testing {

namespace {

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

struct MemoryStream {
    Bytes bytes;
    int64_t position = 0;
    int64_t furthest = 0;
};

std::map<std::string, Bytes>& files() {
    static std::map<std::string, Bytes> table;
    return table;
}

int openStreams = 0;
MemoryStream* latestStream = nullptr;
size_t latestFurthest = 0;

void* memoryOpen(const char* path) {
    auto found = files().find(path);
    if (found == files().end()) {
        return nullptr;
    }
    ++openStreams;
    latestStream = new MemoryStream{found->second};
    latestFurthest = 0;
    return latestStream;
}

int memoryClose(void* handle) {
    auto* stream = static_cast<MemoryStream*>(handle);
    if (stream == latestStream) {
        latestFurthest = static_cast<size_t>(stream->furthest);
        latestStream = nullptr;
    }
    delete stream;
    --openStreams;
    return 0;
}

int32_t memoryRead(void* buffer, int32_t length, void* handle) {
    auto* stream = static_cast<MemoryStream*>(handle);
    auto size = static_cast<int64_t>(stream->bytes->size());
    if (length <= 0 || stream->position >= size) {
        return 0;
    }
    int64_t count = std::min<int64_t>(length, size - stream->position);
    std::memcpy(buffer, stream->bytes->data() + stream->position, static_cast<size_t>(count));
    stream->position += count;
    stream->furthest = std::max(stream->furthest, stream->position);
    return static_cast<int32_t>(count);
}

// Like fseek: positions past the end are allowed, negative ones fail.
int memorySeek(void* handle, int32_t offset, int8_t origin) {
    auto* stream = static_cast<MemoryStream*>(handle);
    int64_t target = origin == SeekFromCurrent ? stream->position + offset : offset;
    if (target < 0) {
        return -1;
    }
    stream->position = target;
    return 0;
}

int32_t memoryTell(void* handle) {
    auto* stream = static_cast<MemoryStream*>(handle);
    return static_cast<int32_t>(std::min<int64_t>(stream->position, INT32_MAX));
}

} // namespace

void useMemoryFiles() {
    setFileCallbacks(memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell);
}

void addMemoryFile(const std::string& path, std::vector<uint8_t> bytes) {
    files()[path] = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

void clearMemoryFiles() {
    files().clear();
}

int openMemoryStreams() {
    return openStreams;
}

size_t furthestMemoryRead() {
    return latestStream != nullptr ? static_cast<size_t>(latestStream->furthest) : latestFurthest;
}

ModulePtr loadModuleFromBytes(const std::vector<uint8_t>& bytes, XmLoadReport* report) {
    useMemoryFiles();
    addMemoryFile("memory.xm", bytes);
    return ModulePtr(createModule("memory.xm", report));
}

} // namespace korvanthe::testing
