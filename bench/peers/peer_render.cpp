// Side-by-side render speed: each song rendered to memory, 44100 Hz 16-bit
// stereo with linear interpolation, by our player and by the peer players
// this binary was built with. The players take turns (the order rotates each
// round) so that the machine's load falls on all of them alike; each song is
// rendered for the same number of frames by every player (our length of the
// song, looping where a peer would stop). Prints each player's median frames
// per CPU second and our ratio to the faster peer.
//
//   korvanthe-bench-peers [--rounds N] [--seconds S] FILE...
//   korvanthe-bench-peers --hash [--seconds S] FILE...   (our PCM checksums)
//
// --path NAME (scalar, sse2, avx2, avx512) makes our player mix on that code
// path instead of the fastest one: the checksums of every path must agree.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "audio/mixer_path.h"
#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "bench/peers/turns.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tests/support/fnv1a.h"

#if KORVANTHE_PEER_XMP
#include "bench/peers/xmp_peer.h"
#endif
#if KORVANTHE_PEER_OPENMPT
#include <libopenmpt/libopenmpt.hpp>
#endif

namespace {

constexpr int32_t Rate = 44100;
constexpr int32_t ChunkFrames = 884; // every player renders in chunks of this size

// One player: loads a song, renders `frames` frames into chunk buffers.
struct Player {
    const char* name;
    bool (*load)(const std::string& path, const std::vector<char>& bytes);
    bool (*render)(int64_t frames, int16_t* chunk); // false: the player failed
    void (*unload)();
};

// --- ours ---
korvanthe::Module* ourSong = nullptr;

bool loadOurs(const std::string& path, const std::vector<char>&) {
    ourSong = korvanthe::createModule(path.c_str());
    return ourSong != nullptr;
}

bool renderOurs(int64_t frames, int16_t* chunk) {
    if (!korvanthe::startOfflineRender(ourSong, Rate, false)) {
        return false;
    }
    if (korvanthe::outputSettings.blockFrames > ChunkFrames) {
        korvanthe::stopOfflineRender();
        return false;
    }
    // Each block straight into the caller's chunk, as the C interface and
    // korvanthe-xm render take it (a chunk is one block at this rate), not
    // through the playback ring and a copy out of it.
    korvanthe::OfflineBlock block{};
    int64_t done = 0;
    while (done < frames && korvanthe::renderOfflineBlockInto(chunk, &block)) {
        done += std::min<int64_t>(block.frames, frames - done);
    }
    korvanthe::stopOfflineRender();
    return done == frames;
}

void unloadOurs() {
    korvanthe::freeModule(ourSong);
    ourSong = nullptr;
}

// Our song length in frames: to where playback would repeat, at most `cap`.
int64_t ourSongFrames(int64_t cap, uint64_t* hash) {
    korvanthe::testing::Fnv1a fnv;
    int64_t done = 0;
    if (!korvanthe::startOfflineRender(ourSong, Rate, true)) {
        return 0;
    }
    korvanthe::OfflineBlock block{};
    while (done < cap && korvanthe::renderOfflineBlock(&block)) {
        const int64_t take = std::min<int64_t>(block.frames, cap - done);
        fnv.addPcm16(block.pcm, static_cast<size_t>(take) * 2);
        done += take;
    }
    korvanthe::stopOfflineRender();
    if (hash != nullptr) {
        *hash = fnv.value();
    }
    return done;
}

#if KORVANTHE_PEER_XMP
bool loadXmp(const std::string&, const std::vector<char>& bytes) {
    return korvanthe::bench::loadXmpSong(bytes);
}

bool renderXmp(int64_t frames, int16_t* chunk) {
    return korvanthe::bench::renderXmpSong(frames, chunk, ChunkFrames);
}

void unloadXmp() {
    korvanthe::bench::unloadXmpSong();
}
#endif

#if KORVANTHE_PEER_OPENMPT
std::vector<char> openmptBytes;
openmpt::module* openmptModule = nullptr;

bool loadOpenmpt(const std::string&, const std::vector<char>& bytes) {
    try {
        openmptModule = new openmpt::module(bytes);
    } catch (...) {
        openmptModule = nullptr;
        return false;
    }
    return true;
}

bool renderOpenmpt(int64_t frames, int16_t* chunk) {
    openmptModule->set_repeat_count(-1); // loop: every player renders the same frames
    openmptModule->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 2);
    openmptModule->set_position_seconds(0.0);
    for (int64_t done = 0; done < frames; done += ChunkFrames) {
        const size_t take = static_cast<size_t>(std::min<int64_t>(ChunkFrames, frames - done));
        if (openmptModule->read_interleaved_stereo(Rate, take, chunk) != take) {
            return false;
        }
    }
    return true;
}

void unloadOpenmpt() {
    delete openmptModule;
    openmptModule = nullptr;
}
#endif

const Player players[] = {
    {"korvanthe", loadOurs, renderOurs, unloadOurs},
#if KORVANTHE_PEER_XMP
    {"libxmp", loadXmp, renderXmp, unloadXmp},
#endif
#if KORVANTHE_PEER_OPENMPT
    {"libopenmpt", loadOpenmpt, renderOpenmpt, unloadOpenmpt},
#endif
};
constexpr size_t PlayerCount = std::size(players);

// Selects the mixer path of that name; false when there is none or this CPU
// lacks it.
bool selectPathNamed(const std::string& name) {
    using korvanthe::MixerPath;
    for (MixerPath path : {MixerPath::Scalar, MixerPath::Sse2, MixerPath::Avx2, MixerPath::Avx512,
                           MixerPath::Simd128}) {
        if (name == korvanthe::mixerPathName(path)) {
            return korvanthe::selectMixerPath(path);
        }
    }
    return false;
}

int fail(const std::string& path, const char* reason) {
    std::fprintf(stderr, "korvanthe-bench-peers: %s: %s\n", path.c_str(), reason);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    using korvanthe::bench::median;
    korvanthe::bench::TurnOptions turns;
    bool hashOnly = false;
    std::vector<std::string> songs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (korvanthe::bench::takeTurnOption(argc, argv, i, turns)) {
            continue;
        }
        if (arg == "--hash") {
            hashOnly = true;
        } else if (arg == "--path" && i + 1 < argc) {
            if (!selectPathNamed(argv[++i])) {
                std::fprintf(stderr, "korvanthe-bench-peers: no mixer path %s here\n", argv[i]);
                return 2;
            }
        } else {
            songs.push_back(arg);
        }
    }
    const int rounds = turns.rounds;
    const double seconds = turns.seconds != nullptr ? std::max(1.0, std::atof(turns.seconds)) : 180;
    if (songs.empty()) {
        std::fprintf(stderr,
                     "usage: korvanthe-bench-peers [--rounds N] [--seconds S] [--hash] [--path NAME] "
                     "FILE...\n");
        return 2;
    }
    korvanthe::useStandardFileCallbacks();
    const int64_t cap = static_cast<int64_t>(seconds * Rate);
    std::vector<int16_t> chunk(static_cast<size_t>(ChunkFrames) * 2);

    if (!hashOnly) {
        std::printf("%-28s %8s", "song", "seconds");
        for (const Player& player : players) {
            std::printf(" %12s", player.name);
        }
        std::printf("  (Mframes per CPU second, median of %d)  ratio to the faster peer\n", rounds);
    }
    int status = 0;
    for (const std::string& path : songs) {
        const std::vector<char> bytes = korvanthe::bench::readFile(path);
        if (bytes.empty()) {
            status = fail(path, "cannot read the file");
            continue;
        }
        if (!loadOurs(path, bytes)) {
            status = fail(path, "not a song our loader accepts");
            continue;
        }
        uint64_t hash = 0;
        const int64_t frames = ourSongFrames(cap, &hash);
        unloadOurs();
        const std::string name = path.substr(path.find_last_of('/') + 1);
        if (hashOnly) {
            std::printf("%016llx %10lld %s\n", static_cast<unsigned long long>(hash),
                        static_cast<long long>(frames), name.c_str());
            continue;
        }
        if (frames == 0) {
            status = fail(path, "renders no frames");
            continue;
        }
        std::vector<std::vector<double>> rates(PlayerCount);
        bool failed[PlayerCount] = {};
        for (int round = 0; round < rounds; ++round) {
            for (size_t k = 0; k < PlayerCount; ++k) {
                const size_t p = (k + static_cast<size_t>(round)) % PlayerCount;
                if (failed[p] || !players[p].load(path, bytes)) {
                    failed[p] = true;
                    continue;
                }
                const double start = korvanthe::bench::processCpuSeconds();
                const bool ok = players[p].render(frames, chunk.data());
                const double spent = korvanthe::bench::processCpuSeconds() - start;
                players[p].unload();
                if (!ok) {
                    failed[p] = true;
                    continue;
                }
                rates[p].push_back(static_cast<double>(frames) / std::max(spent, 1e-9));
            }
        }
        std::printf("%-28s %8.1f", name.c_str(), static_cast<double>(frames) / Rate);
        double ours = 0;
        double fasterPeer = 0;
        for (size_t p = 0; p < PlayerCount; ++p) {
            if (failed[p] || rates[p].empty()) {
                std::printf(" %12s", "failed");
                continue;
            }
            const double rate = median(rates[p]);
            std::printf(" %12.1f", rate / 1e6);
            if (p == 0) {
                ours = rate;
            } else {
                fasterPeer = std::max(fasterPeer, rate);
            }
        }
        if (ours > 0 && fasterPeer > 0) {
            std::printf("  %.2f", ours / fasterPeer);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return status;
}
