#include "tools/xm_writer/xm_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace korvanthe {

namespace {

// Sizes of the fixed parts of the format, in bytes.
constexpr uint32_t SongHeaderSize = 276; // counted from offset 60: 20 bytes of fields + orders
constexpr uint32_t PatternHeaderSize = 9;
constexpr uint32_t PatternHeaderSize102 = 8;
constexpr uint32_t InstrumentHeaderSizeWithSamples = 263;
constexpr uint32_t InstrumentHeaderSizeEmpty = 29;
constexpr uint32_t SampleHeaderSize = 40;

class ByteWriter {
  public:
    void u8(uint8_t value) { bytes.push_back(value); }
    void u16(uint16_t value) {
        u8(static_cast<uint8_t>(value));
        u8(static_cast<uint8_t>(value >> 8));
    }
    void u32(uint32_t value) {
        u16(static_cast<uint16_t>(value));
        u16(static_cast<uint16_t>(value >> 16));
    }
    // Text in a fixed-size field, cut or padded with zeros.
    void text(const std::string& value, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            u8(i < value.size() ? static_cast<uint8_t>(value[i]) : 0);
        }
    }
    void append(const std::vector<uint8_t>& data) {
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    // Pads with zeros (or cuts) so that the block begun at `start` has `size` bytes.
    void fitBlock(size_t start, size_t size) { bytes.resize(start + size, 0); }
    size_t size() const { return bytes.size(); }

    std::vector<uint8_t> bytes;
};

void writeEnvelopePoints(ByteWriter& out, const XmEnvelope& envelope) {
    for (size_t i = 0; i < 12; ++i) {
        XmEnvelopePoint point = i < envelope.points.size() ? envelope.points[i] : XmEnvelopePoint{};
        out.u16(point.tick);
        out.u16(point.value);
    }
}

uint8_t pointCountByte(const XmEnvelope& envelope) {
    if (envelope.storedPointCount) {
        return *envelope.storedPointCount;
    }
    return static_cast<uint8_t>(std::min<size_t>(envelope.points.size(), 12));
}

uint8_t sampleTypeByte(const XmSample& sample) {
    if (sample.storedType) {
        return *sample.storedType;
    }
    uint8_t type = static_cast<uint8_t>(sample.loop);
    if (sample.bits == 16) {
        type |= 0x10;
    }
    if (!sample.rightFrames.empty()) {
        type |= 0x20;
    }
    return type;
}

// The sample data as stored.
std::vector<uint8_t> sampleData(const XmSample& sample) {
    if (sample.adpcm && sample.bits == 8) {
        return adpcmEncode(sample.frames, sample.adpcmTable);
    }
    std::vector<uint8_t> data = deltaEncode(sample.frames, sample.bits);
    if (!sample.rightFrames.empty()) {
        std::vector<uint8_t> right = deltaEncode(sample.rightFrames, sample.bits);
        data.insert(data.end(), right.begin(), right.end());
    }
    return data;
}

void writeSampleHeader(ByteWriter& out, const XmSample& sample) {
    // A stereo sample's header counts both channels.
    uint32_t bytesPerFrame = (sample.bits == 16 ? 2 : 1) * (sample.rightFrames.empty() ? 1 : 2);
    auto frameCount = static_cast<uint32_t>(sample.frames.size());
    out.u32(sample.storedLength.value_or(frameCount * bytesPerFrame));
    out.u32(sample.storedLoopStart.value_or(sample.loopStart * bytesPerFrame));
    out.u32(sample.storedLoopLength.value_or(sample.loopLength * bytesPerFrame));
    out.u8(sample.volume);
    out.u8(static_cast<uint8_t>(sample.finetune));
    out.u8(sampleTypeByte(sample));
    out.u8(sample.panning);
    out.u8(static_cast<uint8_t>(sample.relativeNote));
    out.u8(sample.storedReserved.value_or(sample.adpcm && sample.bits == 8 ? 0xAD : 0));
    out.text(sample.name, 22);
}

// The instrument header and its sample headers, without the sample data.
void writeInstrumentHeaders(ByteWriter& out, const XmInstrument& instrument) {
    size_t start = out.size();
    bool hasSamples = !instrument.samples.empty();
    uint32_t headerSize = instrument.storedHeaderSize.value_or(
        hasSamples ? InstrumentHeaderSizeWithSamples : InstrumentHeaderSizeEmpty);
    out.u32(headerSize);
    out.text(instrument.name, 22);
    out.u8(0); // instrument type
    out.u16(
        instrument.storedSampleCount.value_or(static_cast<uint16_t>(instrument.samples.size())));
    if (hasSamples) {
        out.u32(instrument.storedSampleHeaderSize.value_or(SampleHeaderSize));
        for (uint8_t entry : instrument.keymap) {
            out.u8(entry);
        }
        writeEnvelopePoints(out, instrument.volumeEnvelope);
        writeEnvelopePoints(out, instrument.panningEnvelope);
        out.u8(pointCountByte(instrument.volumeEnvelope));
        out.u8(pointCountByte(instrument.panningEnvelope));
        out.u8(instrument.volumeEnvelope.sustainPoint);
        out.u8(instrument.volumeEnvelope.loopStart);
        out.u8(instrument.volumeEnvelope.loopEnd);
        out.u8(instrument.panningEnvelope.sustainPoint);
        out.u8(instrument.panningEnvelope.loopStart);
        out.u8(instrument.panningEnvelope.loopEnd);
        out.u8(instrument.volumeEnvelope.flags);
        out.u8(instrument.panningEnvelope.flags);
        out.u8(instrument.vibratoType);
        out.u8(instrument.vibratoSweep);
        out.u8(instrument.vibratoDepth);
        out.u8(instrument.vibratoRate);
        out.u16(instrument.fadeout);
    }
    out.fitBlock(start, headerSize);
    for (const XmSample& sample : instrument.samples) {
        writeSampleHeader(out, sample);
    }
}

void writeSampleData(ByteWriter& out, const XmInstrument& instrument) {
    for (const XmSample& sample : instrument.samples) {
        out.append(sampleData(sample));
    }
}

void writePattern(ByteWriter& out, const XmPattern& pattern, int channelCount, uint16_t version) {
    std::vector<uint8_t> data =
        pattern.storedData ? *pattern.storedData : packCells(pattern, channelCount);
    if (version == 0x0102) {
        out.u32(PatternHeaderSize102);
        out.u8(0); // packing type
        out.u8(static_cast<uint8_t>(pattern.rowCount - 1));
    } else {
        out.u32(PatternHeaderSize);
        out.u8(0); // packing type
        out.u16(static_cast<uint16_t>(pattern.rowCount));
    }
    out.u16(pattern.storedPackedSize.value_or(static_cast<uint16_t>(data.size())));
    out.append(data);
}

XmSample sine(int period, int frameCount, int bits) {
    XmSample sample;
    sample.bits = bits;
    double amplitude = bits == 16 ? 32767.0 : 127.0;
    for (int i = 0; i < frameCount; ++i) {
        double phase = 2.0 * std::numbers::pi * i / period;
        sample.frames.push_back(static_cast<int16_t>(std::lround(amplitude * std::sin(phase))));
    }
    return sample;
}

} // namespace

XmPattern::XmPattern(int rows, int channels)
    : rowCount(rows), channelCount(channels),
      cells(static_cast<size_t>(std::max(rows, 0)) * std::max(channels, 0)) {}

XmCell& XmPattern::at(int row, int channel) {
    return cells.at(static_cast<size_t>(row) * channelCount + channel);
}

const XmCell& XmPattern::at(int row, int channel) const {
    return cells.at(static_cast<size_t>(row) * channelCount + channel);
}

XmSample XmSample::sine8(int period, int frameCount) {
    return sine(period, frameCount, 8);
}

XmSample XmSample::sine16(int period, int frameCount) {
    return sine(period, frameCount, 16);
}

XmInstrument XmInstrument::withSample(XmSample sample) {
    XmInstrument instrument;
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

XmPattern& XmSong::addPattern(int rows) {
    patterns.emplace_back(rows, channelCount);
    return patterns.back();
}

std::vector<uint8_t> deltaEncode(const std::vector<int16_t>& frames, int bits) {
    std::vector<uint8_t> bytes;
    bytes.reserve(frames.size() * (bits == 16 ? 2 : 1));
    int previous = 0;
    for (int16_t frame : frames) {
        if (bits == 16) {
            auto delta = static_cast<uint16_t>(frame - previous);
            bytes.push_back(static_cast<uint8_t>(delta));
            bytes.push_back(static_cast<uint8_t>(delta >> 8));
            previous = frame;
        } else {
            int value = static_cast<int8_t>(frame);
            bytes.push_back(static_cast<uint8_t>(value - previous));
            previous = value;
        }
    }
    return bytes;
}

std::vector<uint8_t> adpcmEncode(const std::vector<int16_t>& frames,
                                 const std::array<int8_t, 16>& table) {
    std::vector<uint8_t> bytes(table.begin(), table.end());
    int8_t value = 0; // the decoder's running sum, wrapping at 8 bits
    for (size_t i = 0; i < frames.size(); ++i) {
        const int target = static_cast<int8_t>(frames[i]);
        int best = 0;
        int bestDistance = 256;
        for (int code = 0; code < 16; ++code) {
            auto next = static_cast<int8_t>(value + table[static_cast<size_t>(code)]);
            int distance = std::abs(next - target);
            if (distance < bestDistance) {
                best = code;
                bestDistance = distance;
            }
        }
        value = static_cast<int8_t>(value + table[static_cast<size_t>(best)]);
        if (i % 2 == 0) {
            bytes.push_back(static_cast<uint8_t>(best));
        } else {
            bytes.back() = static_cast<uint8_t>(bytes.back() | best << 4);
        }
    }
    return bytes;
}

std::vector<uint8_t> packCells(const XmPattern& pattern, int channelCount) {
    std::vector<uint8_t> data;
    bool anyCell = false;
    for (int row = 0; row < pattern.rowCount; ++row) {
        for (int channel = 0; channel < channelCount; ++channel) {
            XmCell cell;
            if (channel < pattern.channelCount) {
                cell = pattern.at(row, channel);
            }
            anyCell = anyCell || cell != XmCell{};
            uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect,
                                 cell.parameter};
            uint8_t mask = 0x80;
            for (int i = 0; i < 5; ++i) {
                if (fields[i] != 0) {
                    mask |= static_cast<uint8_t>(1 << i);
                }
            }
            // A cell with all five fields costs as much plain as packed plus
            // the mask, so trackers store it plain.
            if (pattern.packing == XmPacking::Unpacked || mask == 0x9F) {
                data.insert(data.end(), fields, fields + 5);
                continue;
            }
            data.push_back(mask);
            for (int i = 0; i < 5; ++i) {
                if (fields[i] != 0) {
                    data.push_back(fields[i]);
                }
            }
        }
    }
    if (!anyCell && pattern.packing == XmPacking::Packed) {
        data.clear();
    }
    return data;
}

std::vector<uint8_t> writeXm(const XmSong& song) {
    ByteWriter out;
    out.text(song.storedId.value_or("Extended Module: "), 17);
    out.text(song.name, 20);
    out.u8(0x1A);
    out.text(song.trackerName, 20);
    out.u16(song.version);

    size_t headerStart = out.size();
    uint32_t headerSize = song.storedHeaderSize.value_or(SongHeaderSize);
    out.u32(headerSize);
    out.u16(song.storedSongLength.value_or(static_cast<uint16_t>(song.orders.size())));
    out.u16(song.restartPosition);
    out.u16(static_cast<uint16_t>(song.channelCount));
    out.u16(song.storedPatternCount.value_or(static_cast<uint16_t>(song.patterns.size())));
    out.u16(song.storedInstrumentCount.value_or(static_cast<uint16_t>(song.instruments.size())));
    out.u16(song.flags);
    out.u16(song.defaultSpeed);
    out.u16(song.defaultBpm);
    for (size_t i = 0; i < 256; ++i) {
        out.u8(i < song.orders.size() ? song.orders[i] : 0);
    }
    out.fitBlock(headerStart, headerSize);

    if (song.version == 0x0102 || song.version == 0x0103) {
        for (const XmInstrument& instrument : song.instruments) {
            writeInstrumentHeaders(out, instrument);
        }
        for (const XmPattern& pattern : song.patterns) {
            writePattern(out, pattern, song.channelCount, song.version);
        }
        for (const XmInstrument& instrument : song.instruments) {
            writeSampleData(out, instrument);
        }
        return std::move(out.bytes);
    }
    for (const XmPattern& pattern : song.patterns) {
        writePattern(out, pattern, song.channelCount, song.version);
    }
    for (const XmInstrument& instrument : song.instruments) {
        writeInstrumentHeaders(out, instrument);
        writeSampleData(out, instrument);
    }
    return std::move(out.bytes);
}

bool writeXmFile(const XmSong& song, const std::string& path) {
    std::vector<uint8_t> bytes = writeXm(song);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace korvanthe
