#include <system_error>

#include "platform/executable_folder.h"

namespace korvanthe {

std::filesystem::path platformExecutableFolder() {
    // Linux names the executable itself, links resolved. Elsewhere the
    // headless programs (tests, the capture tool) read the working directory
    // only, as they always have.
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.is_absolute()) {
        return executable.parent_path();
    }
    return {};
}

} // namespace korvanthe
