// Where tests find the shared XM corpus and the source tree.
#pragma once

#include <filesystem>
#include <string>

namespace korvanthe::testing {

// The corpus of real XM files beside the repository; empty when absent, in
// which case tests that need it skip.
inline std::filesystem::path corpusDir() {
#ifdef KORVANTHE_SHARED_DIR
    std::filesystem::path dir = std::filesystem::path(KORVANTHE_SHARED_DIR) / "xm-corpus";
    std::error_code error;
    if (std::filesystem::is_directory(dir, error)) {
        return dir;
    }
#endif
    return {};
}

} // namespace korvanthe::testing
