#include "module/module.h"

#include <cstdlib>

#include "audio/block_streaming.h"

namespace korvanthe {

Sample emptySample{};
Instrument emptyInstrument{};

bool freeModule(Module* module) {
    if (module == nullptr) {
        return false;
    }
    // The streaming thread reads patterns, instruments and samples: nothing is
    // released before it has left its block and playback has stopped. A block
    // render is short, so spinning (not sleeping) is the quickest way out.
    while (renderInProgress.load(std::memory_order_acquire)) {
    }
    // Only its own playback stops: freeing another song (one loaded to look
    // at, or refused) leaves what plays alone (a safety choice; stopModule
    // itself stops whatever plays). tests/audio/player_transport_test.cpp.
    forgetModule(module);

    // Counts never exceed what was allocated, so a partly loaded module is
    // released by the same walk; entries past sampleCount are &emptySample.
    if (module->instruments != nullptr) {
        for (int i = 0; i < module->instrumentCount; ++i) {
            Instrument& instrument = module->instruments[i];
            for (int j = 0; j < instrument.sampleCount && j < MaxSamplesPerInstrument; ++j) {
                Sample* sample = instrument.samples[j];
                if (sample != nullptr && sample != &emptySample) {
                    std::free(sample->data);
                    std::free(sample);
                }
            }
        }
        std::free(module->instruments);
    }
    if (module->patterns != nullptr) {
        for (int p = 0; p < module->patternSlotCount; ++p) {
            std::free(module->patterns[p].cells);
        }
        std::free(module->patterns);
    }
    std::free(module);
    return true;
}

} // namespace korvanthe
