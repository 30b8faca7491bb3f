#include <SDL.h>

#include <system_error>

#include "platform/executable_folder.h"

namespace korvanthe {

std::filesystem::path platformExecutableFolder() {
    // Linux names the executable itself, links resolved.
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.is_absolute()) {
        return executable.parent_path();
    }
    // Elsewhere SDL knows the system's own way.
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return {};
    }
    std::filesystem::path folder(base);
    SDL_free(base);
    // SDL ends the folder with a separator.
    return folder.parent_path();
}

} // namespace korvanthe
