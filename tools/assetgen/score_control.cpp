// The effects channel (riser, crash, bells) and the song-wide commands:
// speed and tempo, global volume, pattern loops and breaks.
#include "tools/assetgen/instruments.h"
#include "tools/assetgen/score.h"

namespace korvanthe::assetgen {

namespace {

constexpr uint8_t C4 = xmNote("C-4");

void crash(Pen& pen, int row, int level = 40) {
    pen.note(row, ChannelEffects, C4, InstrumentCrash, volume(level));
}

// Bells walking down and up through the chord two octaves above the pads.
void bellArpeggio(Pen& pen, int bar, const Chord& chord, int step, int level) {
    constexpr int Order[] = {2, 1, 0, 1};
    int base = bar * RowsPerBar;
    for (int row = base, i = 0; row < base + RowsPerBar; row += step, ++i) {
        uint8_t note = static_cast<uint8_t>(chord.voicing[Order[i % 4]] + 12);
        // Alternately left and right, the second of each pair softer.
        pen.note(row, ChannelEffects, note, InstrumentBell, volume(i % 2 == 0 ? level : level - 8));
        pen.effect(row, ChannelEffects, SetPanning, i % 2 == 0 ? 0x50 : 0xB0);
    }
}

void riser(Pen& pen, int toRow, uint8_t slide) {
    pen.note(0, ChannelEffects, xmNote("C-3"), InstrumentRiser, volume(48));
    for (int row = 1; row < toRow; ++row) {
        pen.effect(row, ChannelEffects, PortaUp, slide);
    }
}

// A song-wide command on the kick channel; the kick cells carry no effects
// on the rows these land on.
void command(Pen& pen, int row, uint8_t effect, uint8_t parameter) {
    pen.effect(row, ChannelKick, effect, parameter);
}

} // namespace

void writeEffects(Pen& pen, const Section& section) {
    std::array<Chord, 4> chords = progression(section.part, section.variation);
    switch (section.part) {
    case Part::Intro:
        for (int bar = 0; bar < 4; ++bar) {
            bellArpeggio(pen, bar, chords[bar], 8, 30);
        }
        break;
    case Part::Build:
    case Part::Outro:
        crash(pen, 0);
        break;
    case Part::Groove:
        crash(pen, 0);
        if (section.variation == 0) {
            // Sparse bells answer the stabs while the lead rests.
            for (int bar = 0; bar < 4; ++bar) {
                bellArpeggio(pen, bar, chords[bar], 8, 22);
            }
            crash(pen, 0);
        }
        break;
    case Part::BuildRoll:
        riser(pen, section.rowsPlayed, 0x04);
        break;
    case Part::FinalBuild:
        riser(pen, PatternRows, 0x03);
        break;
    case Part::Drop:
        if (section.variation % 2 == 0) {
            crash(pen, 0, 48);
        }
        break;
    case Part::DropFill:
        crash(pen, 0, 44);
        crash(pen, 56, 36);
        break;
    case Part::Breakdown:
        for (int bar = 0; bar < 4; ++bar) {
            bellArpeggio(pen, bar, chords[bar], section.variation == 0 ? 4 : 2,
                         section.variation == 0 ? 34 : 24);
        }
        break;
    case Part::Ending:
        pen.note(0, ChannelEffects, xmNote("A-5"), InstrumentBell, volume(36));
        pen.note(16, ChannelEffects, xmNote("E-5"), InstrumentBell, volume(28));
        pen.note(32, ChannelEffects, xmNote("A-4"), InstrumentBell, volume(24));
        break;
    default:
        break;
    }
}

void writeControl(Pen& pen, const Section& section) {
    switch (section.part) {
    case Part::Intro:
        // Speed, tempo and global volume as at the start, whatever a player
        // assumes before it reads them.
        command(pen, 0, SetGlobalVolume, 0x40);
        command(pen, 1, SetSpeed, 6);
        command(pen, 2, SetSpeed, 128);
        break;
    case Part::BuildRoll:
        // A crescendo of the whole band through the roll. Held notes are
        // left out of global volume changes by some players, so it rides on
        // notes that retrigger all the time.
        command(pen, 0, SetGlobalVolume, 0x20);
        for (int row = RowsPerBeat; row < section.rowsPlayed - 4; row += RowsPerBeat) {
            command(pen, row, GlobalVolumeSlide, 0x10);
        }
        command(pen, section.rowsPlayed - 1, PatternBreak, 0x00);
        break;
    case Part::DropFill:
        // Hold the stop for one more row.
        command(pen, 56, Extended, PatternDelay | 1);
        break;
    case Part::Breakdown:
        if (section.variation == 0) {
            command(pen, 0, SetSpeed, 124);
        }
        // The third bar plays twice. Some players start the next pattern at
        // the loop's first row after a loop; the break on the last row makes
        // every player go on at row 0.
        command(pen, 32, Extended, PatternLoop | 0);
        command(pen, 47, Extended, PatternLoop | 1);
        command(pen, PatternRows - 1, PatternBreak, 0x00);
        break;
    case Part::FinalBuild:
        command(pen, 0, SetSpeed, 128);
        command(pen, 16, SetSpeed, 130);
        command(pen, 32, SetSpeed, 132);
        command(pen, 48, SetSpeed, 3);
        break;
    case Part::Drop:
        if (section.variation == 2) {
            command(pen, 0, SetSpeed, 6);
        }
        break;
    case Part::Outro:
        command(pen, 0, SetSpeed, 128);
        break;
    case Part::Ending:
        // Slowing down to the end; the closing silence follows.
        command(pen, 48, SetSpeed, 7);
        command(pen, 56, SetSpeed, 8);
        break;
    default:
        break;
    }
}

} // namespace korvanthe::assetgen
