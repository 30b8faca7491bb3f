#include "module/xm_loader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "module/sample_data.h"
#include "module/xm_reader.h"
#include "replayer/tick_driver.h"

namespace korvanthe {

namespace {

constexpr char XmId[] = "Extended Module: ";
constexpr int XmIdLength = 17;
constexpr int64_t VersionOffset = 58;
constexpr int64_t SongHeaderSizeOffset = 60;
constexpr int MadeUpPatternRows = 64;
constexpr uint8_t FileKeyOffNote = 97;
// Safety choice: a pattern header of nine bytes can ask for 65535 rows, so a
// small hostile file could make the loader allocate gigabytes of empty cells.
// A song may hold as many cells as 256 patterns of 256 rows of 32 channels
// (2 Mi cells, 10 MB), the most the classic tracker limits allow; a song whose
// patterns need more is refused before anything beyond that is allocated.
constexpr size_t MaxPatternCells = size_t{256} * 256 * 32;
constexpr uint8_t HighestInstrumentNumber = 128;
// Sample data is read into a buffer that starts this small and doubles only
// while the file keeps delivering, so a header cannot make the loader
// allocate much more than the file holds.
constexpr uint64_t FirstSampleReadBytes = 1u << 16;
constexpr uint64_t MaxSampleReadBytes = 1u << 24; // per read call
// Delta-coded data is read in pieces of this size and decoded piece by piece.
constexpr uint32_t SamplePieceBytes = 1u << 16;
// The reserved byte of a sample header marks 8-bit data packed as 4-bit ADPCM.
constexpr uint8_t AdpcmMarker = 0xAD;
constexpr uint8_t StereoSampleBit = 0x20;
// Independent players refuse an instrument of more than 16 samples whose sample
// headers claim more than this; instruments of up to 16 load whatever it says.
constexpr uint32_t MaxExtendedSampleHeaderSize = 256;

// Everything one load carries besides the module: the reader and the report.
struct LoadContext {
    LoadContext(PlayerFile* file, XmLoadReport* loadReport) : reader(file), report(loadReport) {}

    XmReader reader;
    XmLoadReport* report;
    XmLayout layout = XmLayout::Version104;
    size_t patternCells = 0;          // allocated so far
    bool patternHeadersEnded = false; // a pattern header ran into the file's end
    // Per instrument, bit j set: sample j is stored as ADPCM. Kept from the
    // sample headers to the sample data, which the older layouts store apart.
    std::vector<uint32_t> packedSampleBits;
    std::vector<uint8_t> samplePiece; // SamplePieceBytes once the first sample is read

    bool fail(LoadError error) {
        if (report != nullptr) {
            report->error = error;
        }
        return false;
    }
};

template <typename T> T* allocateZeroed(size_t count) {
    return static_cast<T*>(std::calloc(count == 0 ? 1 : count, sizeof(T)));
}

void readText(XmReader& reader, int64_t offset, char (&text)[21]) {
    reader.seekTo(offset);
    reader.read(text, 20);
    text[20] = 0;
}

// Header values that the rest of the player could not cope with.
LoadError checkSongHeader(Module& module, uint16_t channels, uint16_t songLength,
                          uint16_t instruments) {
    if (channels == 0) {
        return LoadError::NoChannels;
    }
    if (channels > MaxChannels) {
        return LoadError::TooManyChannels;
    }
    if (songLength == 0 || songLength > OrderTableSize) {
        return LoadError::BadSongLength;
    }
    if (instruments > INT16_MAX) {
        return LoadError::BadInstrumentCount;
    }
    // Safety choice: a restart position outside the song restarts at order 0.
    if (static_cast<uint16_t>(module.restartPosition) >= songLength) {
        module.restartPosition = 0;
    }
    return LoadError::None;
}

// Decodes one packed cell. Past the end of the file every byte reads 0, which
// decodes as an empty cell.
PatternCell readCell(XmReader& reader) {
    PatternCell cell{};
    uint8_t first = reader.u8();
    if (first & 0x80) {
        cell.note = first & 0x01 ? reader.u8() : 0;
        cell.instrument = first & 0x02 ? reader.u8() : 0;
        cell.volume = first & 0x04 ? reader.u8() : 0;
        cell.effect = first & 0x08 ? reader.u8() : 0;
        cell.parameter = first & 0x10 ? reader.u8() : 0;
    } else {
        cell.note = first;
        cell.instrument = reader.u8();
        cell.volume = reader.u8();
        cell.effect = reader.u8();
        cell.parameter = reader.u8();
    }
    if (cell.note == FileKeyOffNote) {
        cell.note = KeyOffNote;
    } else if (cell.note > FileKeyOffNote && cell.note != KeyOffNote) {
        // Safety choice: notes 98..254 would index past the keymap; they are no note.
        cell.note = 0;
    }
    if (cell.instrument > HighestInstrumentNumber) {
        cell.instrument = 0;
    }
    return cell;
}

// Allocates zeroed cells for `rows` rows, within the song's cell budget.
bool allocateCells(LoadContext& context, Module& module, Pattern& pattern, int32_t rows) {
    size_t cellCount = static_cast<size_t>(rows) * static_cast<size_t>(module.channelCount);
    if (cellCount > MaxPatternCells - context.patternCells) {
        return context.fail(LoadError::PatternsTooLarge);
    }
    pattern.cells = allocateZeroed<PatternCell>(cellCount);
    if (pattern.cells == nullptr) {
        return context.fail(LoadError::OutOfMemory);
    }
    pattern.rowCount = rows;
    context.patternCells += cellCount;
    return true;
}

bool loadStoredPattern(LoadContext& context, Module& module, Pattern& pattern) {
    XmReader& reader = context.reader;
    reader.u32(); // header length: taken to be what the layout says
    reader.u8();  // packing type
    // Version 1.02 stores the row count as one byte holding rows - 1.
    uint16_t storedRows = context.layout == XmLayout::Version102
                              ? static_cast<uint16_t>(reader.u8() + 1)
                              : reader.u16();
    uint16_t packedSize = reader.u16();
    context.patternHeadersEnded = reader.lastReadShort();
    // Safety choice: the row processor reads row 0 of every pattern it enters,
    // so a pattern stored with no rows gets one empty row.
    if (!allocateCells(context, module, pattern, std::max<int32_t>(storedRows, 1))) {
        return false;
    }
    if (packedSize == 0) {
        return true;
    }
    // Exactly rows x channels cells are decoded, whatever the packed size says.
    // Once the file has ended every byte reads 0, an empty cell, so decoding
    // stops there (the cells are zero already).
    size_t storedCells = static_cast<size_t>(storedRows) * module.channelCount;
    for (size_t i = 0; i < storedCells && !reader.lastReadShort(); ++i) {
        pattern.cells[i] = readCell(reader);
    }
    return true;
}

bool loadPatterns(LoadContext& context, Module& module, uint16_t storedPatternCount) {
    module.usedPatternCount = 0;
    for (int i = 0; i < module.songLength; ++i) {
        if (module.orderTable[i] >= module.usedPatternCount) {
            module.usedPatternCount = module.orderTable[i] + 1;
        }
    }
    module.patternSlotCount = std::max<int32_t>(storedPatternCount, module.usedPatternCount);
    module.patterns = allocateZeroed<Pattern>(static_cast<size_t>(module.patternSlotCount));
    if (module.patterns == nullptr) {
        return context.fail(LoadError::OutOfMemory);
    }
    // Safety choice: once the file has ended, the patterns its header still
    // promises hold nothing, so they are treated as not stored: the order
    // table's get made-up empty patterns below, the rest stay without rows
    // (no order can reach them). A short file cannot ask for cells that way.
    int loadedPatterns = 0;
    while (loadedPatterns < storedPatternCount && !context.patternHeadersEnded) {
        if (!loadStoredPattern(context, module, module.patterns[loadedPatterns])) {
            return false;
        }
        ++loadedPatterns;
    }
    // Patterns that the order table names but the file does not store.
    for (int p = loadedPatterns; p < module.usedPatternCount; ++p) {
        if (!allocateCells(context, module, module.patterns[p], MadeUpPatternRows)) {
            return false;
        }
    }
    return true;
}

// The fields of an instrument header from offset 29 on (the sample header
// size to the fadeout, offsets 29 to 240), read out of a copy of them.
class InstrumentFields {
  public:
    static constexpr int32_t First = 29;
    static constexpr int32_t Bytes = 212;

    // Safety choice, as libxmp reads such files: a header whose size says it
    // ends before offset 241 (files from some packers) holds only the fields
    // before that; the others are 0, not the bytes of the sample headers
    // that follow it. The sample headers are still sought at start + header
    // size. Pinned by tests/module/xm_short_instrument_header_test.cpp.
    InstrumentFields(XmReader& reader, uint32_t headerSize) {
        const int64_t held = std::clamp<int64_t>(int64_t{headerSize} - First, 0, Bytes);
        reader.read(bytes_.data(), static_cast<int32_t>(held));
    }

    uint8_t u8() { return bytes_[next_++]; }
    uint16_t u16() {
        const uint16_t low = u8();
        return static_cast<uint16_t>(low | u8() << 8);
    }
    uint32_t u32() {
        const uint32_t low = u16();
        return low | uint32_t{u16()} << 16;
    }
    void read(uint8_t* destination, size_t length) {
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(next_), length, destination);
        next_ += length;
    }

  private:
    std::array<uint8_t, Bytes> bytes_{};
    size_t next_ = 0;
};

void readEnvelopePoints(InstrumentFields& fields, EnvelopePoint (&points)[MaxEnvelopePoints]) {
    for (EnvelopePoint& point : points) {
        point.tick = fields.u16();
        point.value = fields.u16();
    }
}

// Safety choice: the envelope routine never reads past its points, so counts
// above 12 become 12 and a sustain or loop point outside the count switches
// that feature off. With fewer than 2 points the envelope is off.
void normaliseEnvelope(uint8_t& pointCount, uint8_t sustainPoint, uint8_t loopStart,
                       uint8_t loopEnd, uint8_t& flags) {
    pointCount = std::min<uint8_t>(pointCount, MaxEnvelopePoints);
    if (pointCount < 2) {
        flags = 0;
        return;
    }
    if (sustainPoint >= pointCount) {
        flags &= static_cast<uint8_t>(~EnvelopeSustain);
    }
    if (loopStart >= pointCount || loopEnd >= pointCount) {
        flags &= static_cast<uint8_t>(~EnvelopeLoop);
    }
}

// Reads the instrument header's fields from offset 29 on, of a header of
// headerSize bytes; gives the stored sample header size.
uint32_t readInstrumentHeader(XmReader& reader, uint32_t headerSize, Instrument& instrument) {
    InstrumentFields fields(reader, headerSize);
    // Every sample header is taken to be 40 bytes, whatever this says.
    uint32_t sampleHeaderSize = fields.u32();
    fields.read(instrument.keymap, KeymapNotes);
    readEnvelopePoints(fields, instrument.volumeEnvelopePoints);
    readEnvelopePoints(fields, instrument.panningEnvelopePoints);
    instrument.volumePointCount = fields.u8();
    instrument.panningPointCount = fields.u8();
    instrument.volumeSustainPoint = fields.u8();
    instrument.volumeLoopStart = fields.u8();
    instrument.volumeLoopEnd = fields.u8();
    instrument.panningSustainPoint = fields.u8();
    instrument.panningLoopStart = fields.u8();
    instrument.panningLoopEnd = fields.u8();
    instrument.volumeEnvelopeFlags = fields.u8();
    instrument.panningEnvelopeFlags = fields.u8();
    instrument.vibratoType = fields.u8();
    instrument.vibratoSweep = fields.u8();
    instrument.vibratoDepth = fields.u8();
    instrument.vibratoRate = fields.u8();
    instrument.fadeout = static_cast<uint16_t>(fields.u16() * 2);
    normaliseEnvelope(instrument.volumePointCount, instrument.volumeSustainPoint,
                      instrument.volumeLoopStart, instrument.volumeLoopEnd,
                      instrument.volumeEnvelopeFlags);
    normaliseEnvelope(instrument.panningPointCount, instrument.panningSustainPoint,
                      instrument.panningLoopStart, instrument.panningLoopEnd,
                      instrument.panningEnvelopeFlags);
    return sampleHeaderSize;
}

// Reads one 40-byte sample header; gives whether its data is ADPCM-packed.
bool readSampleHeader(LoadContext& context, Sample& sample) {
    XmReader& reader = context.reader;
    sample.length = reader.u32();
    sample.loopStart = reader.u32();
    sample.loopLength = reader.u32();
    sample.volume = reader.u8();
    sample.finetune = static_cast<int8_t>(reader.u8());
    sample.loadedFinetune = sample.finetune;
    uint8_t type = reader.u8();
    applySampleType(sample, type);
    sample.panning = reader.u8();
    sample.relativeNote = static_cast<int8_t>(reader.u8());
    // The reserved byte was once skipped unread: a file that ends there does
    // not count as truncated for it.
    uint8_t reserved = 0;
    reader.readQuietly(&reserved, 1);
    reader.skip(22); // name
    if (context.report != nullptr && (type & StereoSampleBit) != 0) {
        // Stored as the left channel's frames followed by the right's; the
        // header counts both. They stay one mono sample of that length, as
        // they always have here: changing that would change songs that play.
        ++context.report->stereoSamples;
    }
    // Only 8-bit data is packed; the marker on a 16-bit sample means nothing.
    return reserved == AdpcmMarker && sample.bitsPerSample == 8;
}

// Reads up to `wanted` bytes into a buffer that grows only as the file
// delivers; gives the buffer (null when out of memory) and the bytes read.
uint8_t* readAvailable(XmReader& reader, uint64_t wanted, uint64_t& got) {
    got = 0;
    uint64_t capacity = std::min<uint64_t>(wanted, FirstSampleReadBytes);
    auto* buffer = static_cast<uint8_t*>(std::malloc(capacity));
    while (buffer != nullptr && got < wanted) {
        if (got == capacity) {
            capacity = std::min<uint64_t>(wanted, capacity * 2);
            auto* grown = static_cast<uint8_t*>(std::realloc(buffer, capacity));
            if (grown == nullptr) {
                std::free(buffer);
                return nullptr;
            }
            buffer = grown;
        }
        auto piece = static_cast<int32_t>(std::min<uint64_t>(capacity - got, MaxSampleReadBytes));
        int32_t delivered = reader.readSome(buffer + got, piece);
        got += static_cast<uint64_t>(delivered);
        if (delivered < piece) {
            break;
        }
    }
    return buffer;
}

// The frames that `got` bytes of a sample's ADPCM data hold.
uint32_t adpcmFramesHeld(uint64_t got) {
    // Without the whole table there is nothing to decode.
    return got < AdpcmTableBytes ? 0 : static_cast<uint32_t>((got - AdpcmTableBytes) * 2);
}

// The frames of a delta-coded sample, decoded a piece at a time as the file
// delivers them: no copy of the stored bytes is kept, and the frames grow
// (doubling) only while the file keeps delivering, so a header cannot make
// the loader allocate much more than the file holds.
bool loadDeltaCodedFrames(LoadContext& context, Sample& sample, int storedBits) {
    const uint32_t bytesPerFrame = static_cast<uint32_t>(storedBits) / 8;
    std::vector<uint8_t>& piece = context.samplePiece;
    piece.resize(SamplePieceBytes);
    // Counted in 64 bits: a header's length near 2^32 frames plus the guard
    // frames does not fit a 32-bit size_t (Windows i686, wasm32), and wrapped
    // it would give a buffer smaller than the frames decoded into it.
    const uint64_t allFrames = uint64_t{sample.length} + SampleGuardFrames;
    uint64_t capacity = 0; // frames, the guard frames included
    int16_t* frames = nullptr;
    uint32_t decoded = 0;
    uint16_t sum = 0;
    while (decoded < sample.length) {
        const uint32_t count =
            std::min<uint32_t>(sample.length - decoded, SamplePieceBytes / bytesPerFrame);
        const uint64_t needed = uint64_t{decoded} + count + SampleGuardFrames;
        if (needed > capacity) {
            const uint64_t first = FirstSampleReadBytes / sizeof(int16_t);
            const uint64_t grown = std::min(allFrames, std::max({needed, capacity * 2, first}));
            int16_t* larger = nullptr;
            if (grown <= SIZE_MAX / sizeof(int16_t)) {
                larger = static_cast<int16_t*>(
                    std::realloc(frames, static_cast<size_t>(grown) * sizeof(int16_t)));
            }
            if (larger == nullptr) {
                std::free(frames);
                return context.fail(LoadError::OutOfMemory);
            }
            frames = larger;
            capacity = grown;
        }
        const auto wanted = static_cast<int32_t>(count * bytesPerFrame);
        const int32_t delivered = context.reader.readSome(piece.data(), wanted);
        const uint32_t held = static_cast<uint32_t>(delivered) / bytesPerFrame;
        sum = decodeDeltaFrames(piece.data(), storedBits, held, frames + decoded, sum);
        decoded += held;
        if (delivered < wanted) {
            break;
        }
    }
    if (decoded < sample.length) {
        // Safety choice: a sample that runs past the end of the file keeps only
        // the frames the file holds.
        sample.length = decoded;
        normaliseLoop(sample);
    }
    if (sample.length == 0) {
        std::free(frames);
        return true;
    }
    std::fill(frames + sample.length, frames + sample.length + SampleGuardFrames, int16_t{0});
    sample.data = frames;
    writeGuardFrame(sample);
    return true;
}

bool loadSampleData(LoadContext& context, Sample& sample, bool packed) {
    const int storedBits = sample.bitsPerSample;
    sample.bitsPerSample = 16; // what the data becomes, also for an empty sample
    if (sample.length == 0) {
        return true;
    }
    if (!packed) {
        return loadDeltaCodedFrames(context, sample, storedBits);
    }
    uint64_t wanted = adpcmStoredBytes(sample.length);
    uint64_t got = 0;
    uint8_t* stored = readAvailable(context.reader, wanted, got);
    if (stored == nullptr) {
        return context.fail(LoadError::OutOfMemory);
    }
    if (got < wanted) {
        // Safety choice: a sample that runs past the end of the file keeps only
        // the frames the file holds.
        sample.length = std::min(sample.length, adpcmFramesHeld(got));
        normaliseLoop(sample);
    }
    if (sample.length > 0) {
        sample.data =
            allocateZeroed<int16_t>(static_cast<size_t>(sample.length) + SampleGuardFrames);
        if (sample.data == nullptr) {
            std::free(stored);
            return context.fail(LoadError::OutOfMemory);
        }
        decodeAdpcmFrames(stored, sample.length, sample.data);
        writeGuardFrame(sample);
    }
    std::free(stored);
    return true;
}

// The instrument header and its sample headers, up to the sample data.
bool loadInstrumentHeaders(LoadContext& context, Instrument& instrument, int index) {
    XmReader& reader = context.reader;
    int64_t start = reader.tell();
    uint32_t headerSize = reader.u32();
    int64_t headerEnd = start + headerSize;
    reader.skip(23); // name and type
    uint16_t sampleCount = reader.u16();
    if (sampleCount > MaxSamplesPerInstrument) {
        return context.fail(LoadError::TooManySamples); // sampleCount stays 0
    }
    if (sampleCount == 0) {
        std::fill(std::begin(instrument.samples), std::end(instrument.samples), &emptySample);
        reader.seekTo(headerEnd);
        return true;
    }
    uint32_t sampleHeaderSize = readInstrumentHeader(reader, headerSize, instrument);
    if (sampleCount > ClassicSamplesPerInstrument &&
        sampleHeaderSize > MaxExtendedSampleHeaderSize) {
        return context.fail(LoadError::LargeSampleHeaders); // sampleCount stays 0
    }
    instrument.sampleCount = sampleCount;
    reader.seekTo(headerEnd);
    uint32_t& packedBits = context.packedSampleBits[static_cast<size_t>(index)];
    for (int j = 0; j < sampleCount; ++j) {
        auto* sample = allocateZeroed<Sample>(1);
        if (sample == nullptr) {
            return context.fail(LoadError::OutOfMemory);
        }
        instrument.samples[j] = sample;
        if (readSampleHeader(context, *sample)) {
            packedBits |= uint32_t{1} << j;
        }
        if (context.report != nullptr) {
            context.report->storedSampleBits[static_cast<size_t>(index)][static_cast<size_t>(j)] =
                sample->bitsPerSample;
        }
    }
    std::fill(instrument.samples + sampleCount, std::end(instrument.samples), &emptySample);
    if (context.report != nullptr) {
        int& most = context.report->mostSamplesInInstrument;
        most = std::max<int>(most, sampleCount);
        context.report->packedSamples += std::popcount(packedBits);
    }
    return true;
}

bool loadInstrumentSampleData(LoadContext& context, Instrument& instrument, int index) {
    const uint32_t packedBits = context.packedSampleBits[static_cast<size_t>(index)];
    for (int j = 0; j < instrument.sampleCount; ++j) {
        if (!loadSampleData(context, *instrument.samples[j], (packedBits >> j & 1) != 0)) {
            return false;
        }
    }
    return true;
}

bool allocateInstruments(LoadContext& context, Module& module) {
    module.instruments = allocateZeroed<Instrument>(static_cast<size_t>(module.instrumentCount));
    if (module.instruments == nullptr) {
        module.instrumentCount = 0;
        return context.fail(LoadError::OutOfMemory);
    }
    context.packedSampleBits.assign(static_cast<size_t>(module.instrumentCount), 0);
    if (context.report != nullptr) {
        context.report->storedSampleBits.assign(static_cast<size_t>(module.instrumentCount), {});
    }
    return true;
}

// Version 1.04 and later: every pattern, then every instrument with its
// sample headers and sample data.
bool loadPatternsThenInstruments(LoadContext& context, Module& module,
                                 uint16_t storedPatternCount) {
    if (!loadPatterns(context, module, storedPatternCount) ||
        !allocateInstruments(context, module)) {
        return false;
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        if (!loadInstrumentHeaders(context, module.instruments[i], i) ||
            !loadInstrumentSampleData(context, module.instruments[i], i)) {
            return false;
        }
    }
    return true;
}

// Versions 1.02 and 1.03: every instrument with its sample headers, every
// pattern, then the sample data of all instruments in the same order.
bool loadInstrumentsAroundPatterns(LoadContext& context, Module& module,
                                   uint16_t storedPatternCount) {
    if (!allocateInstruments(context, module)) {
        return false;
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        if (!loadInstrumentHeaders(context, module.instruments[i], i)) {
            return false;
        }
    }
    if (!loadPatterns(context, module, storedPatternCount)) {
        return false;
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        if (!loadInstrumentSampleData(context, module.instruments[i], i)) {
            return false;
        }
    }
    return true;
}

bool loadSong(LoadContext& context, Module& module) {
    XmReader& reader = context.reader;
    char id[XmIdLength] = {};
    reader.seekTo(0);
    reader.read(id, XmIdLength);
    if (std::memcmp(id, XmId, XmIdLength) != 0) {
        return context.fail(LoadError::NotXm); // nothing written to the module
    }
    module.tickHandler = runTick;
    module.initialGlobalVolume = 64;

    if (context.report != nullptr) {
        readText(reader, 17, context.report->name);
        readText(reader, 38, context.report->trackerName);
    }
    reader.seekTo(VersionOffset);
    uint16_t version = reader.u16();
    // A file too short to hold a version is refused for what it lacks below.
    if (!reader.lastReadShort()) {
        context.layout = xmLayoutOfVersion(version);
        if (context.layout == XmLayout::Unknown) {
            return context.fail(LoadError::OldVersion);
        }
    }
    if (context.report != nullptr) {
        context.report->version = version;
        context.report->layout = context.layout;
    }
    reader.seekTo(SongHeaderSizeOffset);
    uint32_t headerSize = reader.u32();
    uint16_t songLength = reader.u16();
    module.songLength = static_cast<int16_t>(songLength);
    module.restartPosition = static_cast<int16_t>(reader.u16());
    uint16_t channels = reader.u16();
    module.channelCount = static_cast<int16_t>(channels);
    uint16_t storedPatternCount = reader.u16();
    uint16_t instruments = reader.u16();
    module.flags = reader.u16();
    module.defaultSpeed = static_cast<int16_t>(reader.u16());
    module.defaultBpm = static_cast<int16_t>(reader.u16());
    reader.read(module.orderTable, OrderTableSize);
    reader.seekTo(SongHeaderSizeOffset + headerSize);
    if (context.report != nullptr) {
        context.report->storedPatternCount = storedPatternCount;
    }

    LoadError headerError = checkSongHeader(module, channels, songLength, instruments);
    if (headerError != LoadError::None) {
        return context.fail(headerError);
    }
    module.instrumentCount = static_cast<int16_t>(instruments);

    if (context.layout == XmLayout::Version104) {
        return loadPatternsThenInstruments(context, module, storedPatternCount);
    }
    return loadInstrumentsAroundPatterns(context, module, storedPatternCount);
}

} // namespace

const char* loadErrorText(LoadError error) {
    switch (error) {
    case LoadError::None:
        return "no error";
    case LoadError::NoFileCallbacks:
        return "no file callbacks are registered";
    case LoadError::FileNotOpened:
        return "cannot open the file";
    case LoadError::NotXm:
        return "not an XM file (no \"Extended Module: \" ID)";
    case LoadError::NoChannels:
        return "the song has no channels";
    case LoadError::TooManyChannels:
        return "more than 32 channels";
    case LoadError::BadSongLength:
        return "song length is 0 or above 256";
    case LoadError::BadInstrumentCount:
        return "more than 32767 instruments";
    case LoadError::PatternsTooLarge:
        return "the patterns need more than 2 Mi cells";
    case LoadError::TooManySamples:
        return "an instrument has more than 32 samples";
    case LoadError::OldVersion:
        return "format version older than 1.02, whose layout is not known";
    case LoadError::LargeSampleHeaders:
        return "an instrument of more than 16 samples has sample headers above 256 bytes";
    case LoadError::OutOfMemory:
        return "out of memory";
    }
    return "unknown error";
}

XmLayout xmLayoutOfVersion(uint16_t version) {
    if (version < 0x0102) {
        return XmLayout::Unknown;
    }
    if (version == 0x0102) {
        return XmLayout::Version102;
    }
    if (version == 0x0103) {
        return XmLayout::Version103;
    }
    return XmLayout::Version104;
}

const char* xmLayoutText(XmLayout layout) {
    switch (layout) {
    case XmLayout::Unknown:
        return "unknown";
    case XmLayout::Version102:
        return "1.02: instruments, patterns with one-byte row counts, then sample data";
    case XmLayout::Version103:
        return "1.03: instruments, patterns, then sample data";
    case XmLayout::Version104:
        return "1.04: patterns, then instruments with their sample data";
    }
    return "unknown";
}

std::string xmExtensionsText(const XmLoadReport& report) {
    std::string text;
    auto add = [&text](const std::string& item) { text += (text.empty() ? "" : ", ") + item; };
    if (report.mostSamplesInInstrument > ClassicSamplesPerInstrument) {
        add("instruments with up to " + std::to_string(report.mostSamplesInInstrument) +
            " samples");
    }
    if (report.packedSamples > 0) {
        add("ADPCM-packed samples (" + std::to_string(report.packedSamples) + ")");
    }
    if (report.stereoSamples > 0) {
        add("stereo samples played as one mono sample, left then right (" +
            std::to_string(report.stereoSamples) + ")");
    }
    return text.empty() ? "none" : text;
}

bool loadXm(Module* module, PlayerFile* file, XmLoadReport* report) {
    if (report != nullptr) {
        *report = XmLoadReport{};
    }
    LoadContext context(file, report);
    bool loaded = loadSong(context, *module);
    if (report != nullptr) {
        report->truncated = context.reader.ranShort();
    }
    return loaded;
}

Module* createModule(const char* path, XmLoadReport* report) {
    if (report != nullptr) {
        *report = XmLoadReport{};
    }
    auto fail = [report](LoadError error) -> Module* {
        if (report != nullptr) {
            report->error = error;
        }
        return nullptr;
    };
    if (!fileCallbacksRegistered()) {
        return fail(LoadError::NoFileCallbacks);
    }
    auto* module = allocateZeroed<Module>(1);
    if (module == nullptr) {
        return fail(LoadError::OutOfMemory);
    }
    PlayerFile* file = openPlayerFile(path);
    if (file == nullptr) {
        std::free(module);
        return fail(LoadError::FileNotOpened);
    }
    bool loaded = loadXm(module, file, report);
    closePlayerFile(file);
    if (!loaded) {
        freeModule(module);
        return nullptr;
    }
    return module;
}

} // namespace korvanthe
