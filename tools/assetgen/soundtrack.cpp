#include "tools/assetgen/soundtrack.h"

#include "tools/assetgen/instruments.h"
#include "tools/assetgen/score.h"
#include "tools/assetgen/song_plan.h"

namespace korvanthe::assetgen {

namespace {

// The closing silence: the whole mix muted at once (the ending has faded
// out by then, so nothing is cut that can still be heard), and a jump back
// to its own first row.
void writeSilence(XmSong& song) {
    song.orders.push_back(static_cast<uint8_t>(song.patterns.size()));
    XmPattern& pattern = song.patterns.emplace_back(SilenceRows, SoundtrackChannels);
    Pen pen(pattern);
    pen.effect(0, ChannelKick, SetGlobalVolume, 0);
    for (int channel = 0; channel < ChannelCount; ++channel) {
        pen.effect(1, channel, Extended, NoteCut | 0);
    }
    pen.effect(SilenceRows - 1, ChannelKick, PositionJump, static_cast<uint8_t>(silenceOrder()));
}

} // namespace

static_assert(SoundtrackChannels == ChannelCount, "one XM channel per score channel");

XmSong makeSoundtrack() {
    XmSong song;
    song.name = "Korvanthe";
    song.trackerName = "korvanthe-assetgen";
    song.channelCount = SoundtrackChannels;
    song.flags = 1; // linear frequency table
    song.defaultSpeed = SoundtrackSpeed;
    song.defaultBpm = SoundtrackBpm;
    // A player that runs off the order list comes back to the silence too.
    song.restartPosition = static_cast<uint16_t>(silenceOrder());

    const std::vector<Section>& plan = songPlan();
    std::vector<bool> written(static_cast<size_t>(patternCount()), false);
    song.patterns.resize(written.size());
    for (const Section& section : plan) {
        song.orders.push_back(static_cast<uint8_t>(section.pattern));
        if (written[static_cast<size_t>(section.pattern)]) {
            continue; // a repeated pattern is written once
        }
        written[static_cast<size_t>(section.pattern)] = true;
        XmPattern& pattern = song.patterns[static_cast<size_t>(section.pattern)];
        pattern = XmPattern(PatternRows, SoundtrackChannels);
        Pen pen(pattern);
        writeDrums(pen, section);
        writeBass(pen, section);
        writeChords(pen, section);
        writeArpeggio(pen, section);
        writeLead(pen, section);
        writeEffects(pen, section);
        writeControl(pen, section);
    }
    writeSilence(song);
    song.instruments = makeInstruments();
    return song;
}

} // namespace korvanthe::assetgen
