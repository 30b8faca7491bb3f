#include <SDL.h>

#include "platform/executable_folder.h"

namespace korvanthe {

std::filesystem::path platformExecutableFolder() {
    if (std::filesystem::path folder = procExecutableFolder(); !folder.empty()) {
        return folder;
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
