#include <cstdio>
#include <cstring>

#include "tools/soak/soak.h"

namespace korvanthe::soak {

MemoryFigures memoryFigures() {
    MemoryFigures figures{0, 0};
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return figures;
    }
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        long long value = 0;
        if (std::sscanf(line, "VmRSS: %lld kB", &value) == 1) {
            figures.residentKiB = value;
        } else if (std::sscanf(line, "VmHWM: %lld kB", &value) == 1) {
            figures.peakKiB = value;
        }
    }
    std::fclose(status);
    return figures;
}

void printMemory(const char* label, const MemoryFigures& figures) {
    std::printf("%s: resident %lld KiB, peak %lld KiB\n", label,
                static_cast<long long>(figures.residentKiB),
                static_cast<long long>(figures.peakKiB));
}

} // namespace korvanthe::soak
