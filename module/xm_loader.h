// The XM loader: decodes a whole XM file, through the registered file
// callbacks, into a Module ready to play.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "module/file_callbacks.h"
#include "module/module.h"

namespace korvanthe {

// Why a load was refused.
enum class LoadError : uint8_t {
    None,
    NoFileCallbacks,    // no complete set of file callbacks is registered
    FileNotOpened,      // the open callback gave null
    NotXm,              // the first 17 bytes are not "Extended Module: "
    NoChannels,         // channel count 0
    TooManyChannels,    // more than MaxChannels
    BadSongLength,      // song length 0 or above 256
    BadInstrumentCount, // more instruments than the record's count can hold
    PatternsTooLarge,   // the patterns together need more than 2 Mi cells
    TooManySamples,     // an instrument with more than MaxSamplesPerInstrument samples
    OldVersion,         // a format version below 1.02, whose layout is not known
    LargeSampleHeaders, // more than 16 samples with sample headers above 256 bytes
    OutOfMemory,
};

// How the file orders its parts, which its format version decides.
enum class XmLayout : uint8_t {
    Unknown,    // not read yet, or a version below 1.02
    Version102, // instruments without sample data, patterns (8-byte headers), sample data
    Version103, // the same order, 9-byte pattern headers
    Version104, // patterns, then each instrument with its sample data (also later versions)
};

// The layout that a format version uses.
XmLayout xmLayoutOfVersion(uint16_t version);

// A short English description of a layout.
const char* xmLayoutText(XmLayout layout);

// A short English description of the error, without a trailing full stop.
const char* loadErrorText(LoadError error);

// What a caller may learn about a load besides the Module: filled by the same
// load, for tools and tests.
struct XmLoadReport {
    LoadError error = LoadError::None;
    // The file ended before the loader was done: the missing bytes read as
    // zeros, and samples were shortened to the frames the file holds.
    bool truncated = false;
    char name[21] = {};        // module name as stored, NUL-terminated
    char trackerName[21] = {}; // tracker name as stored, NUL-terminated
    uint16_t version = 0;
    XmLayout layout = XmLayout::Unknown;
    uint16_t storedPatternCount = 0;
    // Forms beyond the classic ones that the file uses.
    int mostSamplesInInstrument = 0; // above 16: an extended instrument
    int packedSamples = 0;           // 8-bit samples stored as 4-bit ADPCM codes
    int stereoSamples = 0;           // type bit 5 set: read as one mono sample, as stored
    // Bit depth of every sample as stored (8 or 16), by instrument and sample.
    std::vector<std::array<uint8_t, MaxSamplesPerInstrument>> storedSampleBits;
};

// The extensions a loaded file uses, for people: "none", or a list such as
// "ADPCM-packed samples (3), instruments with up to 23 samples".
std::string xmExtensionsText(const XmLoadReport& report);

// Opens `path` through the file callbacks and loads it. Gives a Module ready
// to play, owned by the caller and released with freeModule, or null when the
// file cannot be opened or is refused; `report` (optional) then says why.
// First thread, before playback.
Module* createModule(const char* path, XmLoadReport* report = nullptr);

// Loads the XM song in `file` into `module`, which must be freshly allocated
// and zero-filled; the file may be positioned anywhere. Gives false when the
// file was refused; the module may then be partly loaded and must be released
// with freeModule (its counts never exceed what was allocated).
bool loadXm(Module* module, PlayerFile* file, XmLoadReport* report = nullptr);

} // namespace korvanthe
