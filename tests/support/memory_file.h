// Memory-backed file callbacks for tests: files are byte buffers registered
// under a path, so tests load songs built with the XM writer without touching
// the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "module/module.h"
#include "module/xm_loader.h"

namespace korvanthe::testing {

// Registers the memory-backed set as the current file callbacks.
void useMemoryFiles();

// Makes `bytes` the content of the file `path` (replacing an earlier one);
// streams already open keep reading what they opened.
void addMemoryFile(const std::string& path, std::vector<uint8_t> bytes);

// Forgets every memory file.
void clearMemoryFiles();

// Streams opened and not yet closed, over all memory files.
int openMemoryStreams();

// The furthest byte offset that any read of the most recently opened stream
// has reached (the end of the furthest read), for "nothing beyond this was read".
size_t furthestMemoryRead();

struct ModuleDeleter {
    void operator()(Module* module) const { freeModule(module); }
};
using ModulePtr = std::unique_ptr<Module, ModuleDeleter>;

// Registers the memory set, stores `bytes` as a file and loads it through
// createModule; null when refused (`report` says why).
ModulePtr loadModuleFromBytes(const std::vector<uint8_t>& bytes, XmLoadReport* report = nullptr);

} // namespace korvanthe::testing
