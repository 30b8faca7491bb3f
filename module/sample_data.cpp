#include "module/sample_data.h"

namespace korvanthe {

void applySampleType(Sample& sample, uint8_t typeByte) {
    sample.loopType = LoopNone;
    sample.bitsPerSample = 8;
    if (typeByte & 0x01) {
        sample.loopType = LoopForward;
    }
    if (typeByte & 0x02) {
        sample.loopType = LoopPingPong;
    }
    if (typeByte & 0x10) {
        sample.bitsPerSample = 16;
    }
    if (sample.loopType == LoopNone) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
    }
    if (sample.bitsPerSample == 16) {
        // The header counts bytes; an odd byte left over is not a frame.
        sample.length /= 2;
        sample.loopStart /= 2;
        sample.loopLength /= 2;
    }
    normaliseLoop(sample);
}

void normaliseLoop(Sample& sample) {
    if (sample.loopType != LoopNone) {
        // Safety choice: the mixer takes loopStart + loopLength as the sample's
        // end, so a loop never reaches past the frames that exist.
        if (sample.loopLength == 0 || sample.loopStart >= sample.length) {
            sample.loopType = LoopNone;
        } else if (sample.loopLength > sample.length - sample.loopStart) {
            sample.loopLength = sample.length - sample.loopStart;
        }
    }
    if (sample.loopType == LoopNone) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
    }
}

uint16_t decodeDeltaFrames(const uint8_t* stored, int bitsPerSample, uint32_t frameCount,
                           int16_t* frames, uint16_t sum) {
    // The sum wraps at 16 bits.
    for (uint32_t i = 0; i < frameCount; ++i) {
        uint16_t delta;
        if (bitsPerSample == 16) {
            delta = static_cast<uint16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
        } else {
            delta = static_cast<uint16_t>(stored[i] << 8);
        }
        sum = static_cast<uint16_t>(sum + delta);
        frames[i] = static_cast<int16_t>(sum);
    }
    return sum;
}

void decodeAdpcmFrames(const uint8_t* stored, uint32_t frameCount, int16_t* frames) {
    const uint8_t* table = stored;
    const uint8_t* codes = stored + AdpcmTableBytes;
    uint8_t sum = 0; // wraps at 8 bits
    for (uint32_t i = 0; i < frameCount; ++i) {
        uint8_t code = i % 2 == 0 ? codes[i / 2] & 0x0F : codes[i / 2] >> 4;
        sum = static_cast<uint8_t>(sum + table[code]);
        frames[i] = static_cast<int16_t>(static_cast<uint16_t>(sum << 8));
    }
}

void writeGuardFrame(Sample& sample) {
    if (sample.data == nullptr) {
        return;
    }
    uint32_t loopEnd = sample.loopStart + sample.loopLength;
    if (sample.loopType == LoopForward) {
        sample.data[loopEnd] = sample.data[sample.loopStart];
    } else if (sample.loopType == LoopPingPong) {
        sample.data[loopEnd] = sample.data[loopEnd - 1];
    }
}

} // namespace korvanthe
