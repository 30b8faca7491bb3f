#include "tools/assetgen/score.h"

#include <algorithm>

#include "tools/assetgen/instruments.h"

namespace korvanthe::assetgen {

namespace {

// The mixing desk: every set-volume in the score is scaled by the level of
// its instrument, so the balance is set here in one place, in percent.
constexpr std::array<int, InstrumentCount + 1> MixPercent = {
    100, // no instrument
    100, // kick
    100, // snare
    100, // clap
    100, // closed hat
    100, // open hat
    100, // crash
    62,  // bass: the sub would swamp everything at full level
    100, // pad
    100, // choir
    100, // stab
    130, // lead: on top of the mix
    100, // pluck
    100, // riser
    100, // bell
};

} // namespace

uint8_t Pen::mixed(int channel, uint8_t volumeByte) const {
    if (volumeByte < 0x10 || volumeByte > 0x50) {
        return volumeByte; // not a set-volume
    }
    int level = (volumeByte - 0x10) * MixPercent[instrumentOf_[static_cast<size_t>(channel)]];
    return static_cast<uint8_t>(0x10 + std::min(64, (level + 50) / 100));
}

XmCell* Pen::cell(int row, int channel) {
    if (row < 0 || row >= pattern_.rowCount || channel < 0 || channel >= pattern_.channelCount) {
        return nullptr;
    }
    return &pattern_.at(row, channel);
}

void Pen::note(int row, int channel, uint8_t note, uint8_t instrument, uint8_t volumeByte) {
    if (XmCell* c = cell(row, channel)) {
        if (instrument >= 1 && instrument <= InstrumentCount) {
            instrumentOf_[static_cast<size_t>(channel)] = instrument;
        }
        c->note = note;
        c->instrument = instrument;
        c->volume = mixed(channel, volumeByte);
    }
}

void Pen::keyOff(int row, int channel) {
    if (XmCell* c = cell(row, channel)) {
        c->note = XmKeyOff;
        c->instrument = 0;
    }
}

void Pen::effect(int row, int channel, uint8_t effect, uint8_t parameter) {
    if (XmCell* c = cell(row, channel)) {
        c->effect = effect;
        c->parameter = parameter;
    }
}

void Pen::volumeColumn(int row, int channel, uint8_t volumeByte) {
    if (XmCell* c = cell(row, channel)) {
        c->volume = mixed(channel, volumeByte);
    }
}

} // namespace korvanthe::assetgen
