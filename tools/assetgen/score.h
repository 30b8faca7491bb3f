// Writing notes and effects into the song's patterns: the channel layout,
// the XM effect numbers and volume-column commands by name, and a pen that
// fills the cells of one pattern.
#pragma once

#include <array>
#include <cstdint>

#include "tools/assetgen/song_plan.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::assetgen {

enum Channel : int {
    ChannelKick = 0, // also carries the song-wide commands (speed, jumps, loops)
    ChannelSnare,
    ChannelHats,
    ChannelPercussion, // open hats and claps
    ChannelBass,
    ChannelChord1,
    ChannelChord2,
    ChannelChord3,
    ChannelLead,
    ChannelEcho, // the lead's echo or harmony, the choir
    ChannelArp,
    ChannelEffects, // riser, crash, bells
    ChannelCount,
};

// XM effect numbers.
enum Effect : uint8_t {
    Arpeggio = 0x0,
    PortaUp = 0x1,
    PortaDown = 0x2,
    TonePorta = 0x3,
    Vibrato = 0x4,
    TonePortaVolumeSlide = 0x5,
    VibratoVolumeSlide = 0x6,
    Tremolo = 0x7,
    SetPanning = 0x8,
    SampleOffset = 0x9,
    VolumeSlide = 0xA,
    PositionJump = 0xB,
    SetVolume = 0xC,
    PatternBreak = 0xD,
    Extended = 0xE,
    SetSpeed = 0xF, // below 0x20 ticks per row, from 0x20 on BPM
    SetGlobalVolume = 16,
    GlobalVolumeSlide = 17,
    KeyOff = 20,
    SetEnvelopePosition = 21,
    PanningSlide = 25,
    MultiRetrigger = 27,
    Tremor = 29,
    ExtraFinePorta = 33,
};

// Parameters of the extended effect: the command in the high nibble.
enum ExtendedCommand : uint8_t {
    FinePortaUp = 0x10,
    FinePortaDown = 0x20,
    PatternLoop = 0x60,
    Retrigger = 0x90,
    FineVolumeUp = 0xA0,
    FineVolumeDown = 0xB0,
    NoteCut = 0xC0,
    NoteDelay = 0xD0,
    PatternDelay = 0xE0,
};

// Volume-column bytes.
constexpr uint8_t volume(int level) {
    return static_cast<uint8_t>(0x10 + level);
} // 0..64
constexpr uint8_t volumeDown(int speed) {
    return static_cast<uint8_t>(0x60 + speed);
}
constexpr uint8_t volumeUp(int speed) {
    return static_cast<uint8_t>(0x70 + speed);
}
constexpr uint8_t fineVolumeDown(int step) {
    return static_cast<uint8_t>(0x80 + step);
}
constexpr uint8_t fineVolumeUp(int step) {
    return static_cast<uint8_t>(0x90 + step);
}
constexpr uint8_t vibratoSpeed(int speed) {
    return static_cast<uint8_t>(0xA0 + speed);
}
constexpr uint8_t vibratoDepth(int depth) {
    return static_cast<uint8_t>(0xB0 + depth);
}
constexpr uint8_t panning(int position) {
    return static_cast<uint8_t>(0xC0 + position);
} // 0..15
constexpr uint8_t panLeft(int speed) {
    return static_cast<uint8_t>(0xD0 + speed);
}
constexpr uint8_t panRight(int speed) {
    return static_cast<uint8_t>(0xE0 + speed);
}
constexpr uint8_t tonePorta(int speed) {
    return static_cast<uint8_t>(0xF0 + speed);
}

// Fills the cells of one pattern; rows outside the pattern are ignored, so
// phrases can run off the end without checks at every call.
class Pen {
  public:
    explicit Pen(XmPattern& pattern) : pattern_(pattern) {}

    int rows() const { return pattern_.rowCount; }
    void note(int row, int channel, uint8_t note, uint8_t instrument, uint8_t volumeByte = 0);
    void keyOff(int row, int channel);
    void effect(int row, int channel, uint8_t effect, uint8_t parameter);
    void volumeColumn(int row, int channel, uint8_t volumeByte);

  private:
    XmCell* cell(int row, int channel);
    // A set-volume byte scaled by the mix level of the channel's instrument.
    uint8_t mixed(int channel, uint8_t volumeByte) const;
    XmPattern& pattern_;
    std::array<uint8_t, ChannelCount> instrumentOf_{}; // the channel's latest instrument
};

// The parts of the score, each writing its own channels of a section.
void writeDrums(Pen& pen, const Section& section);
void writeBass(Pen& pen, const Section& section);
void writeChords(Pen& pen, const Section& section);
void writeArpeggio(Pen& pen, const Section& section);
void writeLead(Pen& pen, const Section& section);
void writeEffects(Pen& pen, const Section& section); // riser, crash, bells
// Tempo, global volume, breaks and loops, on ChannelKick:
// written last, on rows where the kick cells carry no effect.
void writeControl(Pen& pen, const Section& section);

} // namespace korvanthe::assetgen
