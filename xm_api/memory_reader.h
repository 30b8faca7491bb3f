// A song in memory read through the player's file callbacks: the loader
// takes it exactly as it takes a file, byte for byte, refusals included.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module/module.h"
#include "module/xm_loader.h"

namespace korvanthe {

// Loads size bytes at data as an XM file (size at most INT32_MAX, which the
// callbacks' positions hold). Registers the memory set for the load and puts
// the standard-file set back afterwards. As createModule: the song or null,
// with report saying why.
Module* loadModuleFromMemory(const void* data, size_t size, XmLoadReport* report);

} // namespace korvanthe
