// The song's instruments: synthesised samples with their envelopes, fadeout
// and automatic vibrato.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::assetgen {

// Instrument numbers as pattern cells name them (1-based).
enum Instrument : uint8_t {
    InstrumentKick = 1,
    InstrumentSnare,
    InstrumentClap,
    InstrumentClosedHat,
    InstrumentOpenHat,
    InstrumentCrash,
    InstrumentBass,
    InstrumentPad,
    InstrumentChoir,
    InstrumentStab,
    InstrumentLead,
    InstrumentPluck,
    InstrumentRiser,
    InstrumentBell,
    InstrumentCount = InstrumentBell,
};

// All instruments in number order.
std::vector<XmInstrument> makeInstruments();

} // namespace korvanthe::assetgen
