// Effect numbers as a pattern cell stores them: 0 to 9, then 10 to 35 for the
// letters A to Z. Parameters are xx (the byte) or xy (its two nibbles).
#pragma once

#include <cstdint>

namespace korvanthe {

enum : uint8_t {
    EffectArpeggio = 0,             // 0xy
    EffectPortaUp = 1,              // 1xx
    EffectPortaDown = 2,            // 2xx
    EffectTonePorta = 3,            // 3xx
    EffectVibrato = 4,              // 4xy
    EffectTonePortaVolumeSlide = 5, // 5xy
    EffectVibratoVolumeSlide = 6,   // 6xy
    EffectTremolo = 7,              // 7xy
    EffectSetPanning = 8,           // 8xx
    EffectSampleOffset = 9,         // 9xx
    EffectVolumeSlide = 10,         // Axy
    EffectPositionJump = 11,        // Bxx
    EffectSetVolume = 12,           // Cxx
    EffectPatternBreak = 13,        // Dxy, row in decimal digits
    EffectExtended = 14,            // Exy, by x below
    EffectSetSpeed = 15,            // Fxx: speed below 32, else BPM
    EffectSetGlobalVolume = 16,     // Gxx
    EffectGlobalVolumeSlide = 17,   // Hxy
    EffectKeyOff = 20,              // Kxx, released on the row tick whatever xx is
    EffectSetEnvelopePosition = 21, // Lxx
    EffectPanningSlide = 25,        // Pxy
    EffectMultiRetrigger = 27,      // Rxy
    EffectTremor = 29,              // Txy
    EffectExtraFinePorta = 33,      // X1y up, X2y down
};

// Sub-commands of EffectExtended (the x of Exy).
enum : uint8_t {
    ExtendedFinePortaUp = 0x1,
    ExtendedFinePortaDown = 0x2,
    ExtendedVibratoWaveform = 0x4,
    ExtendedSetFinetune = 0x5,
    ExtendedPatternLoop = 0x6,
    ExtendedTremoloWaveform = 0x7,
    ExtendedSetPanning = 0x8,
    ExtendedRetrigger = 0x9,
    ExtendedFineVolumeUp = 0xA,
    ExtendedFineVolumeDown = 0xB,
    ExtendedNoteCut = 0xC,
    ExtendedNoteDelay = 0xD,
    ExtendedPatternDelay = 0xE,
};

// The four low updateFlags bits (frequency, volume, panning, trigger), which
// tone portamento and the note delay clear at once.
constexpr uint8_t UpdateVoiceBits = 0x0F;

// Portamento down has no audible upper limit: far below this period every
// voice already plays at the voice update's 100 Hz floor. The bound only
// keeps the period from overflowing in a song that slides down for hours.
constexpr int32_t HighestPeriod = 1 << 24;

// A volume-column byte from 0xF0 is a tone portamento.
constexpr uint8_t VolumeColumnTonePorta = 0xF0;

inline uint8_t highNibble(uint8_t value) {
    return value >> 4;
}
inline uint8_t lowNibble(uint8_t value) {
    return value & 0x0F;
}

} // namespace korvanthe
