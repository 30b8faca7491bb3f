#include <span>
#include <string>
#include <vector>

#include "host/images.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/temp_file.h"

namespace korvanthe::fuzzing {

namespace {

// A buffer with a fence of known words on each side: a reader that writes
// outside its span changes a fence word (ASan catches reads; this catches
// writes that stay inside the allocation).
constexpr uint32_t FenceWord = 0xDEADBEEF;
constexpr size_t FenceWords = 16;

struct FencedPixels {
    explicit FencedPixels(size_t count) : words(count + 2 * FenceWords, FenceWord) {}
    std::span<uint32_t> pixels() {
        return {words.data() + FenceWords, words.size() - 2 * FenceWords};
    }
    bool fencesIntact() const {
        for (size_t i = 0; i < FenceWords; ++i) {
            if (words[i] != FenceWord || words[words.size() - 1 - i] != FenceWord) {
                return false;
            }
        }
        return true;
    }
    std::vector<uint32_t> words;
};

} // namespace

void fuzzPictures(const uint8_t* data, size_t size) {
    const std::string path = writeScratchFile("picture", data, size);

    // The demo's Targa buffer is 256 x 256; a smaller one shows a reader that
    // trusts the file's own size.
    for (size_t count : {size_t{256 * 256}, size_t{37}}) {
        FencedPixels targa(count);
        readTarga(path.c_str(), targa.pixels());
        require(targa.fencesIntact(), "Targa reader wrote outside its buffer");
    }

    // Raw pictures: the size comes from the caller, here the first two bytes
    // (1..64 each, also widths whose rows do not fill the buffer evenly).
    const int width = size > 0 ? data[0] % 64 + 1 : 1;
    const int height = size > 1 ? data[1] % 64 + 1 : 1;
    for (size_t count : {static_cast<size_t>(width) * height, static_cast<size_t>(width)}) {
        FencedPixels raw(count);
        const bool complete = readRawRGB(path.c_str(), raw.pixels(), width, height);
        require(raw.fencesIntact(), "raw reader wrote outside its buffer");
        require(!complete || size >= static_cast<size_t>(width) * height * 3,
                "raw reader reported a short file complete");
    }
}

} // namespace korvanthe::fuzzing
