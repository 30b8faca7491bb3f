// Bass, chords and the chip arpeggio: everything that follows the chord of
// the bar.
#include "tools/assetgen/instruments.h"
#include "tools/assetgen/score.h"

namespace korvanthe::assetgen {

namespace {

constexpr int Octave = 12;

uint8_t up(uint8_t note, int semitones) {
    return static_cast<uint8_t>(note + semitones);
}

// Eighth-note off-beats on the root, jumping an octave on the last one.
void offBeatBass(Pen& pen, int bar, const Chord& chord, int level) {
    int base = bar * RowsPerBar;
    for (int beat = 0; beat < 4; ++beat) {
        uint8_t note = beat == 3 ? up(chord.root, Octave) : chord.root;
        pen.note(base + beat * RowsPerBeat + 2, ChannelBass, note, InstrumentBass, volume(level));
    }
}

// The driving bass of the drops: root, octave, root on every beat, and a
// slide into the next bar's root at the end of each bar.
void rollingBass(Pen& pen, int bar, const Chord& chord, const Chord& next) {
    int base = bar * RowsPerBar;
    for (int beat = 0; beat < 4; ++beat) {
        int row = base + beat * RowsPerBeat;
        pen.note(row, ChannelBass, chord.root, InstrumentBass, volume(60));
        pen.note(row + 2, ChannelBass, up(chord.root, Octave), InstrumentBass, volume(44));
        pen.note(row + 3, ChannelBass, chord.root, InstrumentBass, volume(52));
    }
    if (next.root != chord.root) {
        pen.note(base + 14, ChannelBass, next.root, 0, volume(52));
        pen.effect(base + 14, ChannelBass, TonePorta, 0x30);
        pen.note(base + 15, ChannelBass, 0, 0); // no new note: the slide goes on
        pen.effect(base + 15, ChannelBass, TonePorta, 0x00);
    }
}

// A syncopated bass with little fine slides into the off-beat octaves.
void funkyBass(Pen& pen, int bar, const Chord& chord) {
    int base = bar * RowsPerBar;
    const struct {
        int row;
        int interval;
        int level;
    } Steps[] = {{0, 0, 64},   {3, 12, 44}, {6, 0, 56},  {8, 7, 48},
                 {10, 12, 52}, {11, 0, 40}, {14, 10, 48}};
    for (const auto& step : Steps) {
        pen.note(base + step.row, ChannelBass, up(chord.root, step.interval), InstrumentBass,
                 volume(step.level));
    }
    pen.effect(base + 3, ChannelBass, Extended, FinePortaUp | 4);
    pen.effect(base + 10, ChannelBass, Extended, FinePortaDown | 3);
    pen.effect(base + 11, ChannelBass, ExtraFinePorta, 0x28); // a hair flat, then the next note
}

void heldChord(Pen& pen, int row, const Chord& chord, uint8_t instrument, int level) {
    for (int voice = 0; voice < 3; ++voice) {
        pen.note(row, ChannelChord1 + voice, chord.voicing[voice], instrument, volume(level));
    }
}

// Short stabs on the off-beats, gated by note cuts; the last one rings.
void stabChords(Pen& pen, int bar, const Chord& chord) {
    int base = bar * RowsPerBar;
    for (int beat = 0; beat < 4; ++beat) {
        int row = base + beat * RowsPerBeat + 2;
        for (int voice = 0; voice < 3; ++voice) {
            uint8_t note = up(chord.voicing[voice], Octave);
            pen.note(row, ChannelChord1 + voice, note, InstrumentStab, volume(beat == 3 ? 40 : 34));
            if (beat != 3) {
                pen.effect(row, ChannelChord1 + voice, Extended, NoteCut | 4);
            }
        }
    }
    // Spread the three voices across the stereo field.
    pen.volumeColumn(base + 2, ChannelChord1, panning(3));
    pen.volumeColumn(base + 2, ChannelChord3, panning(12));
}

void arpeggioBar(Pen& pen, int bar, const Chord& chord, int level, int step) {
    int base = bar * RowsPerBar;
    uint8_t shape = chord.minor ? 0x37 : 0x47; // third and fifth above the root
    uint8_t root = up(chord.root, 2 * Octave);
    for (int row = base; row < base + RowsPerBar; ++row) {
        if ((row - base) % step == 0) {
            pen.note(row, ChannelArp, root, InstrumentPluck, volume(level));
        }
        pen.effect(row, ChannelArp, Arpeggio, shape);
    }
}

} // namespace

void writeBass(Pen& pen, const Section& section) {
    std::array<Chord, 4> chords = progression(section.part, section.variation);
    for (int bar = 0; bar < 4; ++bar) {
        const Chord& chord = chords[bar];
        const Chord& next = chords[(bar + 1) % 4];
        int base = bar * RowsPerBar;
        switch (section.part) {
        case Part::Intro:
            if (bar >= 2) {
                pen.note(base, ChannelBass, chord.root, InstrumentBass, volume(40));
                pen.keyOff(base + 14, ChannelBass);
            }
            break;
        case Part::IntroArp:
        case Part::Build:
            offBeatBass(pen, bar, chord, section.part == Part::Build ? 56 : 44);
            break;
        case Part::BuildRoll:
            if (base >= section.rowsPlayed) {
                break;
            }
            offBeatBass(pen, bar, chord, 56);
            break;
        case Part::Drop:
        case Part::DropFill:
            if (section.part == Part::DropFill && bar == 3) {
                rollingBass(pen, bar, chord, chord);
                // Everything stops; the bass dives under the snare roll.
                pen.note(56, ChannelBass, up(chord.root, Octave), InstrumentBass, volume(56));
                for (int row = 57; row < 64; ++row) {
                    pen.effect(row, ChannelBass, PortaDown, 0x0C);
                }
                pen.volumeColumn(60, ChannelBass, volumeDown(3));
                break;
            }
            rollingBass(pen, bar, chord, next);
            break;
        case Part::Groove:
            funkyBass(pen, bar, chord);
            break;
        case Part::Breakdown:
            pen.note(base, ChannelBass, chord.root, InstrumentBass, volume(44));
            pen.keyOff(base + 13, ChannelBass);
            break;
        case Part::FinalBuild:
            if (base < 48) {
                offBeatBass(pen, bar, chord, 56);
            } else {
                for (int row = 48; row < 64; row += 2) {
                    pen.note(row, ChannelBass, chord.root, InstrumentBass, volume(56));
                }
                for (int row = 56; row < 64; ++row) {
                    pen.effect(row, ChannelBass, PortaUp, 0x08);
                }
            }
            break;
        case Part::Outro:
            pen.note(base, ChannelBass, chord.root, InstrumentBass, volume(48));
            pen.note(base + 8, ChannelBass, up(chord.root, Octave), InstrumentBass, volume(36));
            break;
        case Part::Ending:
            if (bar == 0) {
                pen.note(0, ChannelBass, chord.root, InstrumentBass, volume(52));
                pen.keyOff(40, ChannelBass);
            }
            break;
        }
    }
}

void writeChords(Pen& pen, const Section& section) {
    std::array<Chord, 4> chords = progression(section.part, section.variation);
    for (int bar = 0; bar < 4; ++bar) {
        const Chord& chord = chords[bar];
        int base = bar * RowsPerBar;
        switch (section.part) {
        case Part::Intro:
            if (bar == 0) {
                // Fade in out of silence.
                heldChord(pen, 0, chord, InstrumentPad, 6);
                for (int row = 1; row <= 6; ++row) {
                    for (int voice = 0; voice < 3; ++voice) {
                        pen.effect(row, ChannelChord1 + voice, VolumeSlide, 0x10);
                    }
                }
            } else {
                heldChord(pen, base, chord, InstrumentPad, 36);
            }
            break;
        case Part::IntroArp:
        case Part::Build:
        case Part::Outro:
            heldChord(pen, base, chord, InstrumentPad, 30);
            break;
        case Part::BuildRoll:
        case Part::FinalBuild:
            if (bar % 2 == 0 && base < section.rowsPlayed) {
                heldChord(pen, base, chord, InstrumentPad, 24);
                // Swell through the two bars.
                for (int row = base + 1; row < base + 2 * RowsPerBar; row += 4) {
                    for (int voice = 0; voice < 3; ++voice) {
                        pen.effect(row, ChannelChord1 + voice, VolumeSlide, 0x10);
                    }
                }
            }
            break;
        case Part::Drop:
            if (section.variation >= 2) {
                heldChord(pen, base, chord, InstrumentPad, 30);
            } else {
                stabChords(pen, bar, chord);
            }
            break;
        case Part::DropFill:
            if (bar < 3) {
                stabChords(pen, bar, chord);
            } else {
                heldChord(pen, base, chord, InstrumentStab, 40);
                for (int voice = 0; voice < 3; ++voice) {
                    pen.effect(56, ChannelChord1 + voice, Extended, NoteCut | 0);
                }
            }
            break;
        case Part::Groove:
            for (int row : {base + 2, base + 10, base + 13}) {
                for (int voice = 0; voice < 3; ++voice) {
                    pen.note(row, ChannelChord1 + voice, up(chord.voicing[voice], Octave),
                             InstrumentStab, volume(row == base + 13 ? 26 : 36));
                    // Each stab starts a little further into the sample.
                    pen.effect(row, ChannelChord1 + voice, SampleOffset,
                               static_cast<uint8_t>(0x02 * (row - base)));
                }
            }
            break;
        case Part::Breakdown:
            heldChord(pen, base, chord, InstrumentPad, 30);
            for (int voice = 0; voice < 3; ++voice) {
                // A nudge up as the chord settles, then it shimmers.
                pen.effect(base + 2, ChannelChord1 + voice, Extended, FineVolumeUp | 2);
                pen.effect(base + 3, ChannelChord1 + voice, Extended, FineVolumeUp | 2);
            }
            for (int row = base + 4; row < base + RowsPerBar; ++row) {
                for (int voice = 0; voice < 3; ++voice) {
                    pen.effect(row, ChannelChord1 + voice, Tremolo, 0x43);
                }
            }
            break;
        case Part::Ending:
            if (bar == 0) {
                heldChord(pen, 0, chord, InstrumentPad, 40);
                for (int voice = 0; voice < 3; ++voice) {
                    // Settle a little at each beat of the second bar, then let go.
                    for (int row = 16; row < 32; row += RowsPerBeat) {
                        pen.effect(row, ChannelChord1 + voice, Extended, FineVolumeDown | 1);
                    }
                    for (int row = 32; row < 48; row += RowsPerBeat) {
                        pen.effect(row, ChannelChord1 + voice, VolumeSlide, 0x01);
                    }
                    pen.keyOff(48, ChannelChord1 + voice);
                }
            }
            break;
        }
    }
}

void writeArpeggio(Pen& pen, const Section& section) {
    std::array<Chord, 4> chords = progression(section.part, section.variation);
    for (int bar = 0; bar < 4; ++bar) {
        int base = bar * RowsPerBar;
        switch (section.part) {
        case Part::IntroArp:
            arpeggioBar(pen, bar, chords[bar], 20 + bar * 6, 2);
            if (bar == 0) {
                pen.volumeColumn(1, ChannelArp, panning(4));
            }
            break;
        case Part::Build:
            arpeggioBar(pen, bar, chords[bar], 40, 2);
            break;
        case Part::BuildRoll:
        case Part::FinalBuild:
            if (base < section.rowsPlayed) {
                arpeggioBar(pen, bar, chords[bar], 36 + bar * 4, 1);
            }
            break;
        case Part::Drop:
            if (section.variation >= 2) {
                arpeggioBar(pen, bar, chords[bar], 34, 2);
            }
            break;
        case Part::Groove:
            if (section.variation == 1) {
                arpeggioBar(pen, bar, chords[bar], 30, 4);
                // The arpeggio wanders across the stereo field.
                pen.volumeColumn(base + 2, ChannelArp, bar % 2 == 0 ? panRight(6) : panLeft(6));
            }
            break;
        default:
            break;
        }
    }
}

} // namespace korvanthe::assetgen
