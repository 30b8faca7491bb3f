#include "tests/support/module_invariants.h"

namespace korvanthe::testing {

namespace {

// A feature's point index must lie among the envelope's points when it is on.
bool envelopeIndicesInside(uint8_t flags, uint8_t pointCount, uint8_t sustain, uint8_t loopStart,
                           uint8_t loopEnd) {
    if (pointCount > MaxEnvelopePoints) {
        return false;
    }
    if ((flags & EnvelopeSustain) && sustain >= pointCount) {
        return false;
    }
    return !(flags & EnvelopeLoop) || (loopStart < pointCount && loopEnd < pointCount);
}

const char* findBrokenSample(const Sample& sample) {
    if (&sample == &emptySample) {
        return nullptr;
    }
    if (sample.bitsPerSample != 16) {
        return "sample not 16-bit";
    }
    if (sample.loopType != LoopNone && sample.loopType != LoopForward &&
        sample.loopType != LoopPingPong) {
        return "loop type";
    }
    if (uint64_t{sample.loopStart} + sample.loopLength > sample.length) {
        return "loop outside the sample";
    }
    if ((sample.length == 0) != (sample.data == nullptr)) {
        return "sample data";
    }
    if (sample.length > 0 && sample.loopLength == 0) {
        return "empty loop";
    }
    return nullptr;
}

} // namespace

const char* findUnplayable(const Module& module) {
    if (module.channelCount < 1 || module.channelCount > MaxChannels) {
        return "channel count";
    }
    if (module.songLength < 1 || module.songLength > OrderTableSize) {
        return "song length";
    }
    if (module.restartPosition < 0 || module.restartPosition >= module.songLength) {
        return "restart position";
    }
    if (module.usedPatternCount > module.patternSlotCount) {
        return "pattern slots";
    }
    for (int i = 0; i < module.songLength; ++i) {
        if (module.orderTable[i] >= module.patternSlotCount) {
            return "order names a missing pattern";
        }
        const Pattern& pattern = module.patterns[module.orderTable[i]];
        if (pattern.rowCount < 1 || pattern.cells == nullptr) {
            return "order names a pattern without rows";
        }
    }
    for (int p = 0; p < module.patternSlotCount; ++p) {
        const Pattern& pattern = module.patterns[p];
        if (pattern.cells != nullptr && pattern.rowCount < 1) {
            return "pattern without rows";
        }
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        if (instrument.sampleCount > MaxSamplesPerInstrument) {
            return "sample count";
        }
        if (!envelopeIndicesInside(instrument.volumeEnvelopeFlags, instrument.volumePointCount,
                                   instrument.volumeSustainPoint, instrument.volumeLoopStart,
                                   instrument.volumeLoopEnd) ||
            !envelopeIndicesInside(instrument.panningEnvelopeFlags, instrument.panningPointCount,
                                   instrument.panningSustainPoint, instrument.panningLoopStart,
                                   instrument.panningLoopEnd)) {
            return "envelope point outside the points";
        }
        for (const Sample* sample : instrument.samples) {
            if (sample == nullptr) {
                return "sample entry left null";
            }
            if (const char* problem = findBrokenSample(*sample)) {
                return problem;
            }
        }
    }
    return nullptr;
}

} // namespace korvanthe::testing
