#include "xm_api/memory_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "module/file_callbacks.h"

namespace korvanthe {

namespace {

// The one stream: a load reads one file at a time, and the path given to
// open names nothing.
struct MemoryStream {
    const uint8_t* bytes;
    int32_t size;
    int64_t position; // 0 or more; past size after a seek there, as a file's
    bool open;
};

MemoryStream memory{};

void* openMemory(const char*) {
    if (memory.open) {
        return nullptr;
    }
    memory.open = true;
    memory.position = 0;
    return &memory;
}

int closeMemory(void* stream) {
    static_cast<MemoryStream*>(stream)->open = false;
    return 0;
}

int32_t readMemory(void* buffer, int32_t length, void* stream) {
    auto* source = static_cast<MemoryStream*>(stream);
    if (length <= 0) {
        return 0;
    }
    const int64_t left = std::max<int64_t>(source->size - source->position, 0);
    const auto count = static_cast<int32_t>(std::min<int64_t>(length, left));
    if (count > 0) {
        std::memcpy(buffer, source->bytes + source->position, static_cast<size_t>(count));
    }
    source->position += count;
    return count;
}

// As fseek on a file opened for reading: a position before the start is
// refused, one past the end is kept (tell gives it), and reads there give
// nothing.
int seekMemory(void* stream, int32_t offset, int8_t origin) {
    auto* source = static_cast<MemoryStream*>(stream);
    const int64_t base = origin == SeekFromCurrent ? source->position : 0;
    const int64_t target = base + offset;
    if (target < 0) {
        return -1;
    }
    source->position = target;
    return 0;
}

int32_t tellMemory(void* stream) {
    // Positions beyond 2 GiB read as the interface's end, as a file's do.
    const int64_t position = static_cast<MemoryStream*>(stream)->position;
    return position > INT32_MAX ? INT32_MAX : static_cast<int32_t>(position);
}

} // namespace

Module* loadModuleFromMemory(const void* data, size_t size, XmLoadReport* report) {
    memory = MemoryStream{static_cast<const uint8_t*>(data), static_cast<int32_t>(size), 0, false};
    setFileCallbacks(openMemory, closeMemory, readMemory, seekMemory, tellMemory);
    Module* module = createModule("", report);
    memory = MemoryStream{};
    // Playback needs a complete set (openAudio refuses without one), and the
    // other loads of this interface read files.
    useStandardFileCallbacks();
    return module;
}

} // namespace korvanthe
