// Plays a rendered ring through the waveOut backend and checks, afterwards,
// that the device received exactly that ring, looped, in order.
//
//   win32-waveout-ring play SONG.xm RING.raw
//       renders the first ring of SONG.xm (the bytes playModule would hand
//       the device), writes it to RING.raw, loops it on the default device
//       until the play position has gone 2.5 times round, then resets and
//       closes the device. Exit 77 when no device opens.
//   win32-waveout-ring compare RING.raw PLAYED.raw
//       PLAYED.raw (what reached the sound driver) must be: optional leading
//       silence, then the ring from its first byte, repeated, for at least
//       one and a half passes, then at most silence. Wine's sound driver
//       writes silence when its own thread was late (an underrun on a busy
//       machine) and then goes on with the ring where it was: such a gap is
//       counted, and allowed only when the ring resumes exactly where it
//       stopped.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "platform/audio_output.h"
#include "platform/clock.h"

namespace korvanthe {
namespace {

constexpr int32_t SampleRate = 44100;

bool renderRing(const char* songPath, std::vector<int16_t>& ring) {
    useStandardFileCallbacks();
    Module* module = createModule(songPath);
    if (module == nullptr || !startOfflineRender(module, SampleRate, false)) {
        std::fprintf(stderr, "%s: cannot load the song\n", songPath);
        return false;
    }
    OfflineBlock block;
    for (int32_t i = 0; i < blockCount(); i++) {
        if (!renderOfflineBlock(&block)) {
            break;
        }
        ring.insert(ring.end(), block.pcm, block.pcm + static_cast<size_t>(block.frames) * 2);
    }
    stopOfflineRender();
    freeModule(module);
    return !ring.empty();
}

int play(const char* songPath, const char* ringPath) {
    std::vector<int16_t> ring;
    if (!renderRing(songPath, ring)) {
        return 1;
    }
    std::ofstream(ringPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(ring.data()),
               static_cast<std::streamsize>(ring.size() * 2));
    if (!openAudioOutput(SampleRate)) {
        std::printf("no wave output device\n");
        return 77;
    }
    const uint32_t ringBytes = static_cast<uint32_t>(ring.size() * 2);
    if (!startAudioLoop(ring.data(), ringBytes)) {
        std::fprintf(stderr, "the device refused the loop\n");
        closeAudioOutput();
        return 1;
    }
    // The position must only grow; the test ends once it has gone round the
    // ring two and a half times (or after 60 s).
    const uint32_t start = platformMilliseconds();
    uint64_t position = 0;
    int status = 0;
    while (position < ringBytes * 5ull / 2) {
        uint64_t now = 0;
        if (!audioPlayPositionBytes(&now) || now < position) {
            std::fprintf(stderr, "play position lost or went back (%llu after %llu)\n",
                         static_cast<unsigned long long>(now),
                         static_cast<unsigned long long>(position));
            status = 1;
            break;
        }
        position = now;
        if (platformMilliseconds() - start > 60000) {
            std::fprintf(stderr, "the play position stalled at %llu bytes\n",
                         static_cast<unsigned long long>(position));
            status = 1;
            break;
        }
        platformSleep(5);
    }
    resetAudioOutput();
    uint64_t afterReset = 0;
    if (audioPlayPositionBytes(&afterReset)) {
        std::fprintf(stderr, "a position is still reported after the reset\n");
        status = 1;
    }
    closeAudioOutput();
    std::printf("ring %u bytes, played to byte %llu in %u ms\n", ringBytes,
                static_cast<unsigned long long>(position), platformMilliseconds() - start);
    return status;
}

std::vector<unsigned char> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t firstNonZero(const std::vector<unsigned char>& bytes) {
    size_t i = 0;
    while (i < bytes.size() && bytes[i] == 0) {
        i++;
    }
    return i;
}

// After a run of silence from gapStart to silenceEnd: the played byte at
// which the ring resumes at ring byte `next`, if it does, within the silence
// or right after it (the ring itself may begin there with zeros); 0 when the
// bytes that follow are not the ring's continuation. At least a frame's worth
// must match, or all that is left.
size_t resumption(const std::vector<unsigned char>& played, size_t silenceEnd, size_t gapStart,
                  const std::vector<unsigned char>& ring, size_t next) {
    if (silenceEnd == played.size()) {
        return 0;
    }
    constexpr size_t checked = 256;
    for (size_t start = gapStart + 1; start <= silenceEnd; start++) {
        const size_t length = std::min(checked, played.size() - start);
        size_t same = 0;
        while (same < length && played[start + same] == ring[(next + same) % ring.size()]) {
            same++;
        }
        if (same == length) {
            return start;
        }
    }
    return 0;
}

int compare(const char* ringPath, const char* playedPath) {
    const std::vector<unsigned char> ring = readFile(ringPath);
    const std::vector<unsigned char> played = readFile(playedPath);
    const size_t ringSound = firstNonZero(ring);
    const size_t playedSound = firstNonZero(played);
    if (ringSound == ring.size()) {
        std::fprintf(stderr, "%s: the ring is silent; nothing to recognise\n", ringPath);
        return 1;
    }
    if (playedSound == played.size() || playedSound < ringSound) {
        std::fprintf(stderr, "%s: %zu bytes, the ring's sound never starts\n", playedPath,
                     played.size());
        return 1;
    }
    const size_t offset = playedSound - ringSound; // where the ring's first byte landed
    size_t matched = 0;                            // ring bytes in order, gaps left out
    size_t at = offset;                            // the next played byte to explain
    size_t gaps = 0;
    size_t gapBytes = 0;
    size_t trailing = 0;
    for (;;) {
        while (at < played.size() && played[at] == ring[matched % ring.size()]) {
            matched++;
            at++;
        }
        trailing = at;
        while (trailing < played.size() && played[trailing] == 0) {
            trailing++;
        }
        const size_t resumed = resumption(played, trailing, at, ring, matched);
        if (resumed == 0) {
            break;
        }
        gaps++;
        gapBytes += resumed - at;
        at = resumed;
    }
    std::printf("%zu bytes of leading silence, then %zu bytes (%.2f passes) of the ring in "
                "order (%zu underrun gaps of %zu bytes of silence), then %zu bytes of silence, "
                "%zu bytes of anything else\n",
                offset, matched, static_cast<double>(matched) / ring.size(), gaps, gapBytes,
                trailing - at, played.size() - trailing);
    if (offset % 4 != 0) {
        std::fprintf(stderr, "the ring does not start on a frame\n");
        return 1;
    }
    if (matched < ring.size() * 3 / 2) {
        std::fprintf(stderr, "less than one and a half passes of the ring arrived in order\n");
        return 1;
    }
    if (trailing != played.size()) {
        std::fprintf(stderr, "other bytes follow the ring at byte %zu\n", at);
        return 1;
    }
    return 0;
}

} // namespace
} // namespace korvanthe

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "play") == 0) {
        return korvanthe::play(argv[2], argv[3]);
    }
    if (argc == 4 && std::strcmp(argv[1], "compare") == 0) {
        return korvanthe::compare(argv[2], argv[3]);
    }
    std::fprintf(stderr, "usage: win32-waveout-ring play SONG.xm RING.raw\n"
                         "       win32-waveout-ring compare RING.raw PLAYED.raw\n");
    return 2;
}
