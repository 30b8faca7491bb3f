#include "platform/executable_folder.h"

namespace korvanthe {

// The page's files are packed into its virtual file system's working
// directory, which the demo reads first.
std::filesystem::path platformExecutableFolder() {
    return {};
}

} // namespace korvanthe
