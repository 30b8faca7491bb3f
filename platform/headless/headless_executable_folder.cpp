#include "platform/executable_folder.h"

namespace korvanthe {

// Elsewhere than on Linux the headless programs (tests, the capture tool)
// read the working directory only, as they always have.
std::filesystem::path platformExecutableFolder() {
    return procExecutableFolder();
}

} // namespace korvanthe
