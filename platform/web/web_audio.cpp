// The sound output through Web Audio. A script processor copies the looping
// ring out of the program's memory into the output, so no second thread and
// no shared memory are needed. What has been heard is the page's audio clock
// since the first copied frame was scheduled, less the output latency the
// context reports, and never more than was copied.
#include <emscripten.h>

#include <algorithm>

#include "platform/audio_output.h"
#include "platform/web/web_virtual_time.h"

namespace {

// Builds the context and the processor node; 0 when the page has no Web
// Audio or refuses the rate. The processor asks the program to refill after
// each copy, which keeps the ring fed while the page's timers are slowed in
// a background tab.
EM_JS(int, webAudioOpen, (int sampleRate), {
    var Context = globalThis.AudioContext || globalThis.webkitAudioContext;
    if (!Context) {
        return 0;
    }
    var context;
    try {
        context = new Context({sampleRate : sampleRate, latencyHint : "interactive"});
    } catch (error) {
        return 0;
    }
    var node = context.createScriptProcessor(2048, 0, 2);
    var sound = {context : context, node : node, ring : 0, frames : 0, copied : 0, start : -1};
    node.onaudioprocess = function(event) {
        var left = event.outputBuffer.getChannelData(0);
        var right = event.outputBuffer.getChannelData(1);
        if (!sound.ring) {
            left.fill(0);
            right.fill(0);
            return;
        }
        if (sound.copied == 0) {
            sound.start = event.playbackTime;
        }
        var base = sound.ring >> 1;
        var position = sound.copied % sound.frames;
        for (var i = 0; i < left.length; ++i) {
            left[i] = HEAP16[base + 2 * position] / 32768;
            right[i] = HEAP16[base + 2 * position + 1] / 32768;
            if (++position == sound.frames) {
                position = 0;
            }
        }
        sound.copied += left.length;
        if (Module["korvantheAfterAudioCopy"]) {
            Module["korvantheAfterAudioCopy"]();
        }
    };
    node.connect(context.destination);
    Module["korvantheSound"] = sound;
    if (context.state == "suspended") {
        context.resume();
    }
    return 1;
});

EM_JS(void, webAudioStart, (const void* ring, int frames), {
    var sound = Module["korvantheSound"];
    sound.ring = ring;
    sound.frames = frames;
    sound.copied = 0;
    sound.start = -1;
});

EM_JS(void, webAudioStop, (), {
    var sound = Module["korvantheSound"];
    if (sound) {
        sound.ring = 0;
    }
});

EM_JS(void, webAudioClose, (), {
    var sound = Module["korvantheSound"];
    if (sound) {
        sound.node.disconnect();
        sound.context.close();
        Module["korvantheSound"] = null;
    }
});

// Frames heard since the loop started; -1 while nothing plays.
EM_JS(double, webAudioHeardFrames, (), {
    var sound = Module["korvantheSound"];
    if (!sound || !sound.ring) {
        return -1;
    }
    if (sound.start < 0) {
        return 0;
    }
    var context = sound.context;
    var latency = context.outputLatency || context.baseLatency || 0;
    var heard = (context.currentTime - sound.start - latency) * context.sampleRate;
    return Math.max(0, Math.min(Math.floor(heard), sound.copied));
});

// Frames the processor has copied out of the ring since the loop started.
EM_JS(double, webAudioTakenFrames, (), {
    var sound = Module["korvantheSound"];
    return sound && sound.ring ? sound.copied : -1;
});

// Suspends or resumes the context: its clock, and with it the position,
// stands still while suspended.
EM_JS(void, webAudioHold, (int held), {
    var sound = Module["korvantheSound"];
    if (!sound) {
        return;
    }
    if (held) {
        sound.context.suspend();
    } else {
        sound.context.resume();
    }
});

struct WebAudioState {
    bool open = false;
    bool playing = false;
    bool paused = false;
    uint64_t heardBytes = 0;
};

WebAudioState audio;

} // namespace

namespace korvanthe {

bool openAudioOutput(int32_t sampleRate) {
    closeAudioOutput();
    audio.open = webAudioOpen(sampleRate) != 0;
    audio.paused = false;
    return audio.open;
}

bool audioOutputIsOpen() {
    return audio.open;
}

bool startAudioLoop(const int16_t* buffer, uint32_t byteCount) {
    if (!audio.open || buffer == nullptr || byteCount < 4) {
        return false;
    }
    audio.playing = true;
    audio.heardBytes = 0;
    if (!webVirtualTimeActive()) {
        webAudioStart(buffer, static_cast<int>(byteCount / 4));
    }
    return true;
}

bool audioPlayPositionBytes(uint64_t* bytes) {
    if (!audio.playing) {
        return false;
    }
    if (webVirtualTimeActive()) {
        *bytes = webVirtualHeardFrames() * 4;
        return true;
    }
    const double frames = webAudioHeardFrames();
    if (frames < 0) {
        return false;
    }
    // Never back: the audio clock and the latency report may jitter.
    audio.heardBytes = std::max(audio.heardBytes, static_cast<uint64_t>(frames) * 4);
    *bytes = audio.heardBytes;
    return true;
}

bool audioTakenBytes(uint64_t* bytes) {
    if (!audio.playing) {
        return false;
    }
    if (webVirtualTimeActive()) {
        *bytes = webVirtualHeardFrames() * 4;
        return true;
    }
    const double frames = webAudioTakenFrames();
    if (frames < 0) {
        return false;
    }
    *bytes = std::max(audio.heardBytes, static_cast<uint64_t>(frames) * 4);
    return true;
}

// The processor reads the ring in the program's memory itself.
void audioLoopWritten(uint32_t, uint32_t) {}

void pauseAudioOutput(bool paused) {
    if (!audio.open || paused == audio.paused) {
        return;
    }
    audio.paused = paused;
    webAudioHold(paused ? 1 : 0);
}

bool audioOutputPaused() {
    return audio.open && audio.paused;
}

void resetAudioOutput() {
    if (audio.playing) {
        webAudioStop();
        audio.playing = false;
    }
}

void closeAudioOutput() {
    if (audio.open) {
        resetAudioOutput();
        webAudioClose();
        audio.open = false;
    }
}

} // namespace korvanthe
