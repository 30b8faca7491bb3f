// The lead: the hook and its answer in the drops, the echo or harmony that
// follows it, the counter line of the groove, the breakdown's slow tune and
// the choir that sings under the quiet parts.
#include <vector>

#include "tools/assetgen/instruments.h"
#include "tools/assetgen/score.h"

namespace korvanthe::assetgen {

namespace {

struct Step {
    int row;
    const char* note; // "off" for a key-off
};

// The hook: a 3-3-2 rhythm over i - VI - III - VII, ending on a slide up.
const std::vector<Step> Hook = {
    {0, "E-5"},  {3, "E-5"},  {6, "A-5"},  {8, "G-5"},  {10, "E-5"}, {12, "D-5"}, {14, "E-5"},
    {16, "C-5"}, {19, "C-5"}, {22, "F-5"}, {24, "E-5"}, {26, "C-5"}, {28, "A-4"}, {30, "C-5"},
    {32, "E-5"}, {35, "E-5"}, {38, "G-5"}, {40, "E-5"}, {42, "C-5"}, {44, "G-4"}, {46, "C-5"},
    {48, "D-5"}, {51, "B-4"}, {54, "D-5"}, {56, "G-5"}, {63, "off"},
};

// The answer: the same start, then up to the high C and home.
const std::vector<Step> Answer = {
    {0, "E-5"},  {3, "E-5"},  {6, "A-5"},  {8, "G-5"},  {10, "E-5"}, {12, "D-5"}, {14, "E-5"},
    {16, "C-5"}, {19, "C-5"}, {22, "F-5"}, {24, "E-5"}, {26, "C-5"}, {28, "A-4"}, {30, "C-5"},
    {32, "E-5"}, {35, "G-5"}, {38, "A-5"}, {40, "C-6"}, {42, "B-5"}, {44, "G-5"}, {46, "E-5"},
    {48, "D-5"}, {56, "B-4"}, {58, "D-5"}, {60, "E-5"}, {63, "off"},
};

const std::vector<Step> GrooveLine = {
    {0, "F-5"},  {6, "E-5"},  {8, "D-5"},  {12, "A-4"}, {16, "E-5"}, {22, "D-5"}, {24, "C-5"},
    {28, "A-4"}, {32, "C-5"}, {38, "D-5"}, {40, "F-5"}, {44, "E-5"}, {48, "E-5"}, {58, "off"},
};

const std::vector<Step> BreakdownTune = {
    {0, "C-5"},  {8, "A-4"},  {12, "C-5"}, {16, "D-5"}, {24, "B-4"}, {28, "D-5"},
    {32, "E-5"}, {40, "C-5"}, {44, "E-5"}, {48, "A-5"}, {63, "off"},
};

uint8_t noteOf(const char* name) {
    return name[0] == 'o' ? XmKeyOff : xmNote(name);
}

// The note a diatonic third below in A minor.
uint8_t thirdBelow(uint8_t note) {
    constexpr int Scale[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int pitchClass = (note - 1) % 12;
    for (int i = 0; i < 7; ++i) {
        if (Scale[i] == pitchClass) {
            int below = Scale[(i + 5) % 7];
            int distance = (pitchClass - below + 12) % 12;
            return static_cast<uint8_t>(note - distance);
        }
    }
    return static_cast<uint8_t>(note - 3);
}

// Writes a phrase; long notes get a vibrato that sets in after two rows.
void phrase(Pen& pen, int channel, const std::vector<Step>& steps, int level, int shift = 0,
            bool harmony = false) {
    for (size_t i = 0; i < steps.size(); ++i) {
        int row = steps[i].row + shift;
        uint8_t note = noteOf(steps[i].note);
        if (note == XmKeyOff) {
            pen.keyOff(row, channel);
            continue;
        }
        if (harmony) {
            note = thirdBelow(note);
        }
        pen.note(row, channel, note, InstrumentLead, volume(level));
        int next = i + 1 < steps.size() ? steps[i + 1].row + shift : PatternRows;
        for (int r = row + 2; r < next; ++r) {
            pen.effect(r, channel, Vibrato, r == row + 2 ? 0x46 : 0x00);
        }
    }
}

void hookEnding(Pen& pen, int channel, int shift) {
    // The held G slides up to A, leading back to the tonic.
    pen.note(60 + shift, channel, xmNote("A-5"), 0, 0);
    pen.effect(60 + shift, channel, TonePorta, 0x20);
    pen.effect(61 + shift, channel, TonePorta, 0x00);
    pen.effect(62 + shift, channel, TonePortaVolumeSlide, 0x02);
}

void choirNote(Pen& pen, int row, const char* note, int level, uint8_t envelopeStart = 0) {
    pen.note(row, ChannelEcho, xmNote(note), InstrumentChoir, volume(level));
    if (envelopeStart) {
        pen.effect(row, ChannelEcho, SetEnvelopePosition, envelopeStart);
    }
}

} // namespace

void writeLead(Pen& pen, const Section& section) {
    switch (section.part) {
    case Part::Intro:
        choirNote(pen, 32, "A-4", 26);
        break;
    case Part::IntroArp:
        pen.keyOff(48, ChannelEcho);
        break;
    case Part::Drop:
    case Part::DropFill: {
        // Each group of drops plays hook, answer, hook, and the fill answers.
        bool answer = section.part == Part::DropFill || section.variation % 2 == 1;
        bool secondDrop =
            section.part == Part::Drop ? section.variation >= 2 : section.variation == 1;
        const std::vector<Step>& tune = answer ? Answer : Hook;
        phrase(pen, ChannelLead, tune, 48);
        if (!answer) {
            hookEnding(pen, ChannelLead, 0);
        } else {
            // The last E arrives by a slide written in the volume column.
            pen.note(60, ChannelLead, xmNote("E-5"), 0, tonePorta(6));
            pen.effect(60, ChannelLead, Vibrato, 0x00);
        }
        if (secondDrop) {
            phrase(pen, ChannelEcho, tune, 30, 0, true);
            pen.effect(0, ChannelEcho, SetPanning, 0x50); // the harmony a little left
        } else {
            // A dotted-eighth echo on the right.
            phrase(pen, ChannelEcho, tune, 20, 3);
            pen.effect(3, ChannelEcho, SetPanning, 0xD0);
        }
        if (section.part == Part::DropFill) {
            pen.keyOff(56, ChannelLead);
            pen.keyOff(56, ChannelEcho);
            for (int row = 57; row < PatternRows; ++row) {
                pen.note(row, ChannelLead, 0, 0, 0);
                pen.effect(row, ChannelLead, 0, 0);
                pen.note(row, ChannelEcho, 0, 0, 0);
                pen.effect(row, ChannelEcho, 0, 0);
            }
        }
        break;
    }
    case Part::Groove:
        if (section.variation == 1) {
            phrase(pen, ChannelLead, GrooveLine, 36);
            pen.effect(48, ChannelLead, ExtraFinePorta, 0x1C); // lean into the E
            choirNote(pen, 0, "D-5", 24);
            // The choir chops itself into a rhythm.
            for (int row = 1; row < PatternRows; ++row) {
                pen.effect(row, ChannelEcho, Tremor, 0x21);
            }
            choirNote(pen, 32, "C-5", 24);
            pen.effect(32, ChannelEcho, Tremor, 0x21);
        }
        break;
    case Part::Breakdown: {
        constexpr const char* ChoirNotes[2][4] = {{"A-4", "B-4", "G-4", "C-5"},
                                                  {"A-4", "B-4", "C-5", "E-5"}};
        for (int bar = 0; bar < 4; ++bar) {
            choirNote(pen, bar * RowsPerBar, ChoirNotes[section.variation][bar], 30,
                      bar == 0 ? 0 : 0x28);
        }
        if (section.variation == 1) {
            phrase(pen, ChannelLead, BreakdownTune, 40);
            // Deeper vibrato from the volume column on the first long note.
            pen.volumeColumn(2, ChannelLead, vibratoSpeed(5));
            pen.volumeColumn(4, ChannelLead, vibratoDepth(8));
            pen.effect(20, ChannelLead, ExtraFinePorta, 0x14);
            // The last note fades while it shakes.
            for (int row = 56; row < 63; ++row) {
                pen.effect(row, ChannelLead, VibratoVolumeSlide, 0x02);
            }
            pen.volumeColumn(50, ChannelLead, fineVolumeUp(4));
        }
        break;
    }
    case Part::Outro:
        phrase(pen, ChannelLead, Hook, 34);
        hookEnding(pen, ChannelLead, 0);
        phrase(pen, ChannelEcho, Hook, 16, 3);
        pen.effect(3, ChannelEcho, SetPanning, 0x30);
        break;
    case Part::Ending:
        pen.note(0, ChannelLead, xmNote("E-5"), InstrumentLead, volume(36));
        for (int row = 2; row < 40; ++row) {
            pen.effect(row, ChannelLead, Vibrato, row == 2 ? 0x35 : 0x00);
        }
        pen.effect(40, ChannelLead, KeyOff, 3);
        choirNote(pen, 0, "A-4", 34);
        pen.volumeColumn(24, ChannelEcho, fineVolumeDown(4));
        for (int row = 32; row < 48; row += RowsPerBeat) {
            pen.volumeColumn(row, ChannelEcho, volumeDown(1));
        }
        pen.keyOff(48, ChannelEcho);
        break;
    default:
        break;
    }
}

} // namespace korvanthe::assetgen
