// The beat: kick, snare, hats and claps for every part of the song.
#include "tools/assetgen/instruments.h"
#include "tools/assetgen/score.h"

namespace korvanthe::assetgen {

namespace {

constexpr uint8_t C4 = xmNote("C-4");

void kick(Pen& pen, int row, int level = 64) {
    pen.note(row, ChannelKick, C4, InstrumentKick, volume(level));
}

void fourToTheFloor(Pen& pen, int fromRow, int toRow) {
    for (int row = fromRow; row < toRow; row += RowsPerBeat) {
        kick(pen, row);
    }
}

// Sixteenth-note hats: louder on the beat's off-eighths, panned from side to
// side, with the open hat on every off-beat.
void busyHats(Pen& pen, int fromRow, int toRow, bool openHats) {
    for (int row = fromRow; row < toRow; ++row) {
        int inBeat = row % RowsPerBeat;
        if (openHats && inBeat == 2) {
            pen.note(row, ChannelPercussion, C4, InstrumentOpenHat, volume(40));
            pen.effect(row, ChannelPercussion, Extended, NoteCut | 5);
            continue;
        }
        int level = inBeat == 0 ? 44 : (inBeat == 2 ? 52 : 30);
        pen.note(row, ChannelHats, C4, InstrumentClosedHat, volume(level));
        pen.effect(row, ChannelHats, SetPanning, (row / 2) % 2 == 0 ? 0x58 : 0xA8);
    }
}

void backbeat(Pen& pen, int fromRow, int toRow, bool withClap) {
    for (int row = fromRow; row < toRow; row += RowsPerBar / 2) {
        pen.note(row + 4, ChannelSnare, C4, InstrumentSnare, volume(56));
        if (withClap) {
            pen.note(row + 4, ChannelPercussion, C4, InstrumentClap, volume(48));
        }
    }
}

void dropBeat(Pen& pen, const Section& section, int toRow) {
    fourToTheFloor(pen, 0, toRow);
    busyHats(pen, 0, toRow, true);
    backbeat(pen, 0, toRow, true);
    // Ghost snares that start past the attack: a softer, shorter hit.
    for (int bar = 0; bar * RowsPerBar < toRow; ++bar) {
        int row = bar * RowsPerBar + 15;
        if (row < toRow && (bar % 2 == 1 || section.variation >= 2)) {
            pen.note(row, ChannelSnare, C4, InstrumentSnare, volume(24));
            pen.effect(row, ChannelSnare, SampleOffset, 0x04);
        }
        // A flam: the second hit a few ticks late.
        int flam = bar * RowsPerBar + 11;
        if (flam < toRow && bar == 3) {
            pen.note(flam, ChannelSnare, C4, InstrumentSnare, volume(30));
            pen.effect(flam, ChannelSnare, Extended, NoteDelay | 3);
        }
    }
}

void buildRoll(Pen& pen, int rollStart, int fastStart, int end, int retriggerFrom) {
    // Every beat, then every eighth, then every sixteenth, louder and louder.
    for (int row = 0; row < end; ++row) {
        int step = row < rollStart ? 8 : (row < fastStart ? 2 : 1);
        int phase = row < rollStart ? 4 : 0;
        if ((row - phase) % step != 0) {
            continue;
        }
        int level = 20 + 30 * row / end;
        pen.note(row, ChannelSnare, C4, InstrumentSnare, volume(level));
        if (row >= retriggerFrom) {
            pen.effect(row, ChannelSnare, MultiRetrigger, row >= end - 4 ? 0x92 : 0x93);
        }
    }
}

} // namespace

void writeDrums(Pen& pen, const Section& section) {
    switch (section.part) {
    case Part::Intro:
        break;
    case Part::IntroArp:
        for (int row = 2; row < PatternRows; row += RowsPerBeat) {
            pen.note(row, ChannelHats, C4, InstrumentClosedHat, volume(16 + row / 3));
        }
        break;
    case Part::Build:
        fourToTheFloor(pen, 0, PatternRows);
        for (int row = 0; row < PatternRows; row += 2) {
            bool offBeat = row % RowsPerBeat == 2;
            pen.note(row, ChannelHats, C4, offBeat ? InstrumentOpenHat : InstrumentClosedHat,
                     volume(offBeat ? 34 : 26));
        }
        backbeat(pen, 32, PatternRows, true);
        break;
    case Part::BuildRoll:
        for (int row = 0; row < section.rowsPlayed; row += row < 32 ? RowsPerBeat : 2) {
            kick(pen, row);
        }
        buildRoll(pen, 16, 32, section.rowsPlayed, 40);
        for (int row = 0; row < section.rowsPlayed; row += 2) {
            pen.note(row, ChannelHats, C4, InstrumentClosedHat, volume(20 + row / 3));
        }
        break;
    case Part::Drop:
        dropBeat(pen, section, PatternRows);
        break;
    case Part::DropFill:
        dropBeat(pen, section, 56);
        // The band stops; the snare rolls faster and faster into the next part.
        pen.note(56, ChannelSnare, C4, InstrumentSnare, volume(40));
        pen.effect(56, ChannelSnare, Extended, Retrigger | 3);
        pen.note(58, ChannelSnare, C4, InstrumentSnare, volume(48));
        pen.effect(58, ChannelSnare, Extended, Retrigger | 2);
        pen.note(60, ChannelSnare, C4, InstrumentSnare, volume(56));
        pen.effect(60, ChannelSnare, Extended, Retrigger | 1);
        pen.note(62, ChannelSnare, C4, InstrumentSnare, volume(64));
        pen.effect(62, ChannelSnare, Extended, Retrigger | 1);
        kick(pen, 56);
        kick(pen, 60);
        break;
    case Part::Groove:
        for (int bar = 0; bar < 4; ++bar) {
            int base = bar * RowsPerBar;
            kick(pen, base);
            kick(pen, base + 6, 52);
            kick(pen, base + 10);
            pen.note(base + 8, ChannelSnare, C4, InstrumentSnare, volume(60));
            pen.note(base + 8, ChannelPercussion, C4, InstrumentClap);
            pen.effect(base + 8, ChannelPercussion, SetVolume, 40);
            pen.note(base + 14, ChannelSnare, C4, InstrumentSnare, volume(22));
            pen.effect(base + 14, ChannelSnare, Extended, NoteDelay | 2);
        }
        for (int row = 0; row < PatternRows; ++row) {
            if (row % RowsPerBar == 8) {
                continue;
            }
            int level = row % 2 == 0 ? 36 : 22;
            pen.note(row, ChannelHats, C4, InstrumentClosedHat, volume(level));
            if (section.variation == 1 && row % 8 == 3) {
                pen.effect(row, ChannelHats, Extended, Retrigger | 3);
            } else {
                // The hats drift right in the first half of each bar, left in the second.
                pen.effect(row, ChannelHats, PanningSlide, row % RowsPerBar < 8 ? 0x20 : 0x02);
            }
        }
        break;
    case Part::Breakdown:
        break;
    case Part::FinalBuild:
        // Rows 48 on run at double speed (three ticks a row).
        for (int row = 0; row < PatternRows; row += row < 32 ? RowsPerBeat : 2) {
            kick(pen, row);
        }
        buildRoll(pen, 16, 48, PatternRows, 56);
        for (int row = 0; row < 48; row += 2) {
            pen.note(row, ChannelHats, C4, InstrumentClosedHat, volume(24 + row / 3));
        }
        break;
    case Part::Outro:
        for (int row = 0; row < PatternRows; row += 2) {
            pen.note(row, ChannelHats, C4, InstrumentClosedHat, volume(row % 4 == 2 ? 30 : 18));
        }
        break;
    case Part::Ending:
        break;
    }
}

} // namespace korvanthe::assetgen
