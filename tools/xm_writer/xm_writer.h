// Builds XM files in memory from a plain description of a song: header, order
// table, patterns given as cells, instruments with envelopes, automatic
// vibrato and fadeout, and 8- or 16-bit samples with loops. The writer packs
// pattern cells and delta-codes sample data as the format stores them, and
// gives the exact bytes of the file.
//
// It also writes the variants that real files use: the layouts of format
// versions 1.02 and 1.03 (chosen by XmSong::version), instruments of up to 32
// samples, 8-bit samples packed as 4-bit ADPCM, and stereo samples.
//
// Values are written as given: nothing is checked or clamped, so tests can
// describe broken files too. Fields named `stored...` are optional overrides
// of what the writer would otherwise derive (counts, sizes, type bytes); leave
// them empty for a well-formed file.
//
// Typical use:
//     XmSong song;
//     song.channelCount = 4;
//     song.orders = {0};
//     song.patterns.emplace_back(64, song.channelCount);
//     song.patterns[0].at(0, 0) = {xmNote("C-4"), 1, 0, 0, 0};
//     song.instruments.push_back(XmInstrument::withSample(XmSample::sine8(64, 100)));
//     std::vector<uint8_t> bytes = writeXm(song);
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvanthe {

// Note numbers as the file stores them: 1 is C-0, 96 is B-7, 97 is key-off.
constexpr uint8_t XmKeyOff = 97;

// The note number of a name such as "C-4", "C#4" or "a-3" (octave 0..7);
// 0 for anything that is not a note name.
constexpr uint8_t xmNote(const char* name) {
    constexpr int semitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    char letter = name[0];
    if (letter >= 'a' && letter <= 'g') {
        letter = static_cast<char>(letter - 'a' + 'A');
    }
    if (letter < 'A' || letter > 'G' || name[1] == 0) {
        return 0;
    }
    int semitone = semitones[letter - 'A'];
    if (name[1] == '#') {
        ++semitone;
    } else if (name[1] != '-') {
        return 0;
    }
    if (name[2] < '0' || name[2] > '7') {
        return 0;
    }
    int note = 1 + (name[2] - '0') * 12 + semitone;
    return note >= 1 && note <= 96 ? static_cast<uint8_t>(note) : 0;
}

// One cell as the file means it (before packing). note: 0 none, 1..96, 97
// key-off; instrument: 0 none, 1..128; volume: volume-column byte; effect and
// parameter: XM effect number and its parameter.
struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t parameter = 0;

    bool operator==(const XmCell&) const = default;
};

// How a pattern's cells are stored.
enum class XmPacking {
    Packed,   // as trackers save: a mask byte and the nonzero fields; an all-empty
              // pattern is stored with packed size 0 and no cell data
    Unpacked, // every cell as five plain bytes (the note byte must be below 0x80)
};

struct XmPattern {
    int rowCount = 64;
    int channelCount = 0;      // cells per row in `cells`
    std::vector<XmCell> cells; // rowCount x channelCount, row by row
    XmPacking packing = XmPacking::Packed;
    // Replaces the packed cell data (and its size field) byte for byte.
    std::optional<std::vector<uint8_t>> storedData;
    // Overrides the packed-size field only (the data written stays the same).
    std::optional<uint16_t> storedPackedSize;

    XmPattern() = default;
    // An empty pattern of the given size.
    XmPattern(int rows, int channels);

    // The cell of a row and channel; both must lie inside the pattern.
    XmCell& at(int row, int channel);
    const XmCell& at(int row, int channel) const;
};

enum class XmLoop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct XmSample {
    std::string name;
    // The frames as they sound (the writer delta-codes them). For 8-bit
    // samples every value is taken as a signed byte (-128..127).
    std::vector<int16_t> frames;
    int bits = 8; // 8 or 16 (stored depth)
    XmLoop loop = XmLoop::None;
    uint32_t loopStart = 0;  // frames
    uint32_t loopLength = 0; // frames
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;

    // Header overrides, in bytes as the file stores them (for 16-bit samples
    // the derived values are twice the frame counts).
    std::optional<uint32_t> storedLength;
    std::optional<uint32_t> storedLoopStart;
    std::optional<uint32_t> storedLoopLength;
    std::optional<uint8_t> storedType;     // bit 0 forward, bit 1 ping-pong, bit 4 16-bit
    std::optional<uint8_t> storedReserved; // the reserved byte (0xAD marks ADPCM)

    // 8-bit only: store the frames as 4-bit ADPCM codes over `adpcmTable`
    // (marked by 0xAD in the header's reserved byte). Each frame becomes the
    // code whose table step lands nearest to it, so frames the table cannot
    // reach come out approximated.
    bool adpcm = false;
    std::array<int8_t, 16> adpcmTable = {0,  1,  2,  4,  8,   16,  32,  64,
                                         -1, -2, -4, -8, -16, -32, -48, -64};
    // Not empty: a stereo sample (type bit 5) whose right channel these are,
    // as many as `frames`. The header's length and loop then count both
    // channels, and the data holds the left channel, then the right.
    std::vector<int16_t> rightFrames;

    // A ready-made waveform: `frames` frames of one sine period per
    // `period` frames at full scale for the depth.
    static XmSample sine8(int period, int frameCount);
    static XmSample sine16(int period, int frameCount);
};

struct XmEnvelopePoint {
    uint16_t tick = 0;
    uint16_t value = 0;
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points; // at most 12 are written
    uint8_t sustainPoint = 0;
    uint8_t loopStart = 0;
    uint8_t loopEnd = 0;
    uint8_t flags = 0; // bit 0 on, bit 1 sustain, bit 2 loop
    // Overrides the point-count byte (the points written stay the same).
    std::optional<uint8_t> storedPointCount;
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;
    std::array<uint8_t, 96> keymap{}; // sample index for notes 1..96
    XmEnvelope volumeEnvelope;
    XmEnvelope panningEnvelope;
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    uint16_t fadeout = 0; // as the file stores it

    // Overrides the number-of-samples field (the sample headers written are
    // still those of `samples`).
    std::optional<uint16_t> storedSampleCount;
    // Overrides the instrument header size; the header is padded with zeros
    // (or cut) to this size. Default: 263 with samples, 29 without.
    std::optional<uint32_t> storedHeaderSize;
    // Overrides the sample header size field (the headers written stay 40 bytes).
    std::optional<uint32_t> storedSampleHeaderSize;

    // An instrument whose whole keymap plays its one sample.
    static XmInstrument withSample(XmSample sample);
};

struct XmSong {
    std::string name;
    std::string trackerName = "Korvanthe XM writer";
    // 0x0102 and 0x0103 write those versions' layout: instruments with their
    // sample headers, then patterns (1.02: 8-byte headers with a one-byte row
    // count, so at most 256 rows), then all sample data. Anything else: 1.04.
    uint16_t version = 0x0104;
    int channelCount = 4;
    uint16_t restartPosition = 0;
    uint16_t flags = 1; // bit 0: linear frequency table
    uint16_t defaultSpeed = 6;
    uint16_t defaultBpm = 125;
    std::vector<uint8_t> orders; // the song length is their number
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;

    // Overrides of header fields that are otherwise derived.
    std::optional<uint16_t> storedSongLength;
    std::optional<uint16_t> storedPatternCount;
    std::optional<uint16_t> storedInstrumentCount;
    std::optional<uint32_t> storedHeaderSize; // counted from offset 60; default 276
    // Replaces the 17-byte ID text "Extended Module: ".
    std::optional<std::string> storedId;

    // Appends an empty pattern of `rows` rows and this song's channel count
    // and gives it.
    XmPattern& addPattern(int rows = 64);
};

// Delta-codes frames as the file stores them: each stored value is the
// difference to the previous frame, wrapping at the sample depth.
std::vector<uint8_t> deltaEncode(const std::vector<int16_t>& frames, int bits);

// ADPCM data as the format stores it: the 16-byte table, then one 4-bit code
// per frame, two to a byte, the low nibble first (see XmSample::adpcm).
std::vector<uint8_t> adpcmEncode(const std::vector<int16_t>& frames,
                                 const std::array<int8_t, 16>& table);

// Packs cells as the format does (see XmPacking).
std::vector<uint8_t> packCells(const XmPattern& pattern, int channelCount);

// The whole file.
std::vector<uint8_t> writeXm(const XmSong& song);

// Writes the file; false when it cannot be written.
bool writeXmFile(const XmSong& song, const std::string& path);

} // namespace korvanthe
