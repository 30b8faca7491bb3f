#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

#include "platform/executable_folder.h"

namespace korvanthe {

std::filesystem::path platformExecutableFolder() {
    // Wide characters: the folder may have any name.
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            return std::filesystem::path(std::wstring(name.data(), length)).parent_path();
        }
        // Cut short: a longer buffer, up to the longest path the system allows.
        if (name.size() >= 32768) {
            return {};
        }
        name.resize(name.size() * 2);
    }
}

} // namespace korvanthe
