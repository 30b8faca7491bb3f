#include "tools/assetgen/soundtrack.h"

#include "tools/assetgen/instruments.h"
#include "tools/assetgen/score.h"
#include "tools/assetgen/song_plan.h"

namespace korvanthe::assetgen {

static_assert(SoundtrackChannels == ChannelCount, "one XM channel per score channel");

XmSong makeSoundtrack() {
    XmSong song;
    song.name = "Korvanthe";
    song.trackerName = "korvanthe-assetgen";
    song.channelCount = SoundtrackChannels;
    song.flags = 1; // linear frequency table
    song.defaultSpeed = SoundtrackSpeed;
    song.defaultBpm = SoundtrackBpm;
    song.restartPosition = 0;

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
    song.instruments = makeInstruments();
    return song;
}

} // namespace korvanthe::assetgen
