// A scratch file per process for the readers that take a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvanthe::fuzzing {

// Writes the bytes to a file of this process under the temporary directory,
// named after `tag`, and gives its path. Stops the process when it cannot.
std::string writeScratchFile(const char* tag, const uint8_t* data, size_t size);

} // namespace korvanthe::fuzzing
