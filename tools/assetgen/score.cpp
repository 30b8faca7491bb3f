#include "tools/assetgen/score.h"

namespace korvanthe::assetgen {

XmCell* Pen::cell(int row, int channel) {
    if (row < 0 || row >= pattern_.rowCount || channel < 0 || channel >= pattern_.channelCount) {
        return nullptr;
    }
    return &pattern_.at(row, channel);
}

void Pen::note(int row, int channel, uint8_t note, uint8_t instrument, uint8_t volumeByte) {
    if (XmCell* c = cell(row, channel)) {
        c->note = note;
        c->instrument = instrument;
        c->volume = volumeByte;
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
        c->volume = volumeByte;
    }
}

bool Pen::isEmpty(int row, int channel) const {
    if (row < 0 || row >= pattern_.rowCount || channel < 0 || channel >= pattern_.channelCount) {
        return false;
    }
    return pattern_.at(row, channel) == XmCell{};
}

} // namespace korvanthe::assetgen
