// The sound output through Web Audio, on one of two devices.
//
// An AudioWorklet where the browser has one (every current engine): it plays
// on the audio thread from its own copy of the looping ring, so that a busy
// page (a long frame, a slow script, a tab in the background) neither
// starves nor stalls the sound. It gets the whole ring when the loop starts
// and every block the streaming code rewrites after that, each posted as a
// transferred ArrayBuffer: no SharedArrayBuffer, so any static server will
// do, with no special headers. Since the worklet holds the ring, what the
// page has not posted by the time the worklet comes round to it is heard
// as it was one ring before, as on a device that loops the program's own
// buffer when the streaming thread stalls. Every 1024 frames (23 ms) it
// reports the frames it has played and the context time of that report;
// the page refills the ring on each report too.
//
// A script processor elsewhere: it copies the ring out of the program's
// memory on the page's thread, and reports each buffer's frames and
// playback time as the worklet does.
//
// What has been heard is the last report carried forward on the context's
// clock, less the output latency, never back and never past what the
// device can have played (platform/web/web_heard_position.h).
#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/audio_output.h"
#include "platform/web/web_heard_position.h"
#include "platform/web/web_virtual_time.h"

namespace {

// Builds the context and the device; 0 when the page has no Web Audio or
// refuses the rate. The worklet's module loads on its own time: until it
// has, the messages for it wait in sound.pending; when it cannot load, the
// script processor plays instead. The latency hint asks the context to
// render 100 ms at a time: the position leaves the latency out, so the
// pictures do not lag by it, and on a busy machine the output then runs dry
// far less (headless Chromium into PulseAudio on two busy cores: gaps of 20
// to 30 ms now and then at its "playback" default of 23 ms, none at 100 ms;
// the sound then comes out 320 ms after it is rendered).
EM_JS(int, webAudioOpen, (int sampleRate), {
    var Context = globalThis.AudioContext || globalThis.webkitAudioContext;
    if (!Context) {
        return 0;
    }
    var context;
    try {
        context = new Context({sampleRate : sampleRate, latencyHint : 0.1});
    } catch (error) {
        return 0;
    }
    var sound = {
        context : context,
        kind : "starting",
        node : null,
        pending : [],
        playing : false,
        held : false,
        ring : 0,
        frames : 0,
        copied : 0,
        posted : 0,
        reports : 0,
        reportFrames : 0,
        reportTime : 0,
        earlierFrames : 0,
        earlierTime : 0,
        postTime : 0
    };
    Module["korvantheSound"] = sound;
    var afterReport = function() {
        if (Module["korvantheSoundReported"]) {
            Module["korvantheSoundReported"]();
        }
    };
    var report = function(frames, time, refill) {
        sound.reports += 1;
        sound.earlierFrames = sound.reportFrames;
        sound.earlierTime = sound.reportTime;
        sound.reportFrames = frames;
        sound.reportTime = time;
        if (refill) {
            afterReport();
        }
    };

    // The processor copies on the page's thread, and Chromium plays silence
    // for as long as its handler runs and stale buffers while the page is
    // busy elsewhere. Its buffers are therefore long (8192 frames, more
    // than the context renders in one go at this latency hint) and the
    // handler short: the refill it asks for runs in a task of its own. And
    // the loop's first frame waits for a handler that comes a buffer's time
    // after the one before, not one of the queue that a page busy with its
    // start (the whole ring rendered, the first pictures uploaded) leaves
    // behind, whose buffer may already be playing.
    var useScriptProcessor = function() {
        var bufferFrames = 8192;
        var node = context.createScriptProcessor(bufferFrames, 0, 2);
        var refill = new MessageChannel();
        refill.port1.onmessage = afterReport;
        var lastHandler = -1;
        node.onaudioprocess = function(event) {
            var left = event.outputBuffer.getChannelData(0);
            var right = event.outputBuffer.getChannelData(1);
            var now = performance.now();
            var punctual = lastHandler >= 0 && now - lastHandler > 750 * bufferFrames / context.sampleRate;
            lastHandler = now;
            if (!sound.ring || (sound.copied == 0 && !punctual)) {
                left.fill(0);
                right.fill(0);
                return;
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
            report(sound.copied, event.playbackTime, false);
            sound.copied += left.length;
            refill.port2.postMessage(0);
        };
        node.connect(context.destination);
        sound.node = node;
        sound.kind = "script-processor";
    };

    // The worklet, written as a function so that it is checked with the
    // rest; its text is the module the worklet scope runs.
    var workletModule = function() {
        class KorvantheLoop extends AudioWorkletProcessor {
            constructor() {
                super();
                this.ring = null;
                this.frames = 0;
                this.played = 0;
                this.sinceReport = 0;
                var self = this;
                this.port.onmessage = function(event) {
                    var message = event.data;
                    if (message.kind == "start") {
                        self.ring = new Int16Array(message.ring);
                        self.frames = self.ring.length >> 1;
                        self.played = 0;
                        self.sinceReport = 1024;
                    } else if (message.kind == "write" && self.ring) {
                        self.ring.set(new Int16Array(message.data), message.first >> 1);
                    } else if (message.kind == "stop") {
                        self.ring = null;
                    }
                };
            }
            process(inputs, outputs) {
                var left = outputs[0][0];
                var right = outputs[0].length > 1 ? outputs[0][1] : null;
                if (!this.ring) {
                    return true;
                }
                if (this.sinceReport >= 1024) {
                    this.sinceReport = 0;
                    this.port.postMessage({frames : this.played, time : currentTime});
                }
                var ring = this.ring;
                var position = this.played % this.frames;
                for (var i = 0; i < left.length; ++i) {
                    left[i] = ring[2 * position] / 32768;
                    if (right) {
                        right[i] = ring[2 * position + 1] / 32768;
                    }
                    if (++position == this.frames) {
                        position = 0;
                    }
                }
                this.played += left.length;
                this.sinceReport += left.length;
                return true;
            }
        }
        registerProcessor("korvanthe-loop", KorvantheLoop);
    };

    var useWorklet = function() {
        var node = new AudioWorkletNode(context, "korvanthe-loop", {
            numberOfInputs : 0,
            numberOfOutputs : 1,
            outputChannelCount : [2]
        });
        node.port.onmessage = function(event) {
            if (sound.playing) {
                report(event.data.frames, event.data.time, true);
            }
        };
        node.connect(context.destination);
        sound.node = node;
        sound.kind = "worklet";
        for (var i = 0; i < sound.pending.length; ++i) {
            node.port.postMessage(sound.pending[i][0], sound.pending[i][1]);
        }
        sound.pending = [];
    };

    if (context.audioWorklet && globalThis.AudioWorkletNode && globalThis.Blob && globalThis.URL) {
        var source = "(" + workletModule.toString() + ")();";
        var address = URL.createObjectURL(new Blob([source], {type : "application/javascript"}));
        context.audioWorklet.addModule(address)
            .then(function() {
                if (Module["korvantheSound"] === sound) {
                    useWorklet();
                }
            })
            .catch(function() {
                if (Module["korvantheSound"] === sound) {
                    sound.pending = [];
                    useScriptProcessor();
                }
            })
            .finally(function() { URL.revokeObjectURL(address); });
    } else {
        useScriptProcessor();
    }
    if (context.state == "suspended") {
        context.resume().catch(function() {});
    }
    return 1;
});

// Posts a message to the worklet, or keeps it until the worklet is there;
// the script processor needs none.
EM_JS(void, webAudioPost, (int kind, const void* bytes, int first, int count), {
    var sound = Module["korvantheSound"];
    if (!sound || sound.kind == "script-processor") {
        return;
    }
    var message;
    var transfer = [];
    if (kind == 2) {
        message = {kind : "stop"};
    } else {
        var data = HEAPU8.slice(bytes + first, bytes + first + count).buffer;
        transfer = [data];
        message = kind == 0 ? {kind : "start", ring : data} : {kind : "write", first : first, data : data};
    }
    if (sound.node) {
        sound.node.port.postMessage(message, transfer);
    } else {
        sound.pending.push([ message, transfer ]);
    }
});

EM_JS(void, webAudioStart, (const void* ring, int frames), {
    var sound = Module["korvantheSound"];
    sound.ring = ring;
    sound.frames = frames;
    sound.copied = 0;
    sound.posted = frames;
    sound.reports = 0;
    sound.reportFrames = 0;
    sound.postTime = sound.context.currentTime;
    sound.playing = true;
});

EM_JS(void, webAudioWritten, (int frames), {
    var sound = Module["korvantheSound"];
    if (sound) {
        sound.posted += frames;
    }
});

EM_JS(void, webAudioStop, (), {
    var sound = Module["korvantheSound"];
    if (sound) {
        sound.ring = 0;
        sound.playing = false;
    }
});

EM_JS(void, webAudioClose, (), {
    var sound = Module["korvantheSound"];
    if (sound) {
        if (sound.node) {
            sound.node.disconnect();
        }
        sound.context.close();
        Module["korvantheSound"] = null;
    }
});

// The numbers the position is worked out from, into clock[0..11]: whether a
// loop plays (1) or not (0), whether the device is the worklet (1), the
// context time, its outputLatency and baseLatency (NaN where not given),
// the reports that came since the start, the last one's frames and time,
// the frames the device can have played (copied by the processor, posted to
// the worklet), the context time at which the loop was posted, and the
// frames and time of the report before the last.
EM_JS(void, webAudioReadClock, (double* clock), {
    var sound = Module["korvantheSound"];
    var at = clock >> 3;
    if (!sound || !sound.playing) {
        HEAPF64[at] = 0;
        return;
    }
    var context = sound.context;
    HEAPF64[at] = 1;
    HEAPF64[at + 1] = sound.kind == "script-processor" ? 0 : 1;
    HEAPF64[at + 2] = context.currentTime;
    HEAPF64[at + 3] = typeof context.outputLatency == "number" ? context.outputLatency : NaN;
    HEAPF64[at + 4] = typeof context.baseLatency == "number" ? context.baseLatency : NaN;
    HEAPF64[at + 5] = sound.reports;
    HEAPF64[at + 6] = sound.reportFrames;
    HEAPF64[at + 7] = sound.reportTime;
    HEAPF64[at + 8] = sound.kind == "script-processor" ? sound.copied : sound.posted;
    HEAPF64[at + 9] = sound.postTime;
    HEAPF64[at + 10] = sound.earlierFrames;
    HEAPF64[at + 11] = sound.earlierTime;
});

// Suspends or resumes the context: its clock, and with it the position,
// stands still while suspended. A context the program holds is not resumed
// by the page's gestures.
EM_JS(void, webAudioHold, (int held), {
    var sound = Module["korvantheSound"];
    if (!sound) {
        return;
    }
    sound.held = held != 0;
    if (held) {
        sound.context.suspend();
    } else {
        sound.context.resume().catch(function() {});
    }
});

struct WebAudioState {
    bool open = false;
    bool playing = false;
    bool paused = false;
    int32_t sampleRate = 0;
    int32_t ringFrames = 0;
    const int16_t* ring = nullptr;
    uint64_t heardFrames = 0;
    // The report the position rests on: the script processor's last, the
    // worklet's last that the next one bore out.
    bool anchored = false;
    korvanthe::WebSoundReport anchor{};
};

WebAudioState audio;

// The browser's numbers, as webAudioReadClock gives them.
struct WebClock {
    bool playing;
    bool worklet;
    double contextTime;
    double latency;
    double buffering; // the context's own, its baseLatency; 0 where not given
    double reports;   // since the start
    korvanthe::WebSoundReport report;
    korvanthe::WebSoundReport earlier; // the report before, when reports > 1
    uint64_t ceiling;
    double postTime;
};

WebClock readClock() {
    std::array<double, 12> values{};
    webAudioReadClock(values.data());
    WebClock clock{};
    clock.playing = values[0] != 0;
    if (!clock.playing) {
        return clock;
    }
    clock.worklet = values[1] != 0;
    clock.contextTime = values[2];
    clock.latency = korvanthe::webOutputLatencySeconds(values[3], values[4]);
    clock.buffering = std::isfinite(values[4]) ? std::max(values[4], 0.0) : 0.0;
    clock.reports = values[5];
    clock.report = {static_cast<uint64_t>(std::max(values[6], 0.0)), values[7]};
    clock.earlier = {static_cast<uint64_t>(std::max(values[10], 0.0)), values[11]};
    clock.ceiling = static_cast<uint64_t>(std::max(values[8], 0.0));
    clock.postTime = values[9];
    return clock;
}

} // namespace

namespace korvanthe {

bool openAudioOutput(int32_t sampleRate) {
    closeAudioOutput();
    audio.open = webAudioOpen(sampleRate) != 0;
    audio.paused = false;
    audio.sampleRate = sampleRate;
    return audio.open;
}

bool audioOutputIsOpen() {
    return audio.open;
}

bool startAudioLoop(const int16_t* buffer, uint32_t byteCount) {
    if (!audio.open || buffer == nullptr || byteCount < 4 || byteCount % 4 != 0) {
        return false;
    }
    audio.playing = true;
    audio.heardFrames = 0;
    audio.anchored = false;
    audio.ring = buffer;
    audio.ringFrames = static_cast<int32_t>(byteCount / 4);
    if (!webVirtualTimeActive()) {
        webAudioStart(buffer, audio.ringFrames);
        webAudioPost(0, buffer, 0, static_cast<int>(byteCount));
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
    const WebClock clock = readClock();
    if (!clock.playing) {
        return false;
    }
    if (!clock.worklet && clock.reports > 0) {
        audio.anchor = clock.report;
        audio.anchored = true;
    } else if (clock.reports > 1 && webReportsAgree(clock.earlier, clock.report, audio.sampleRate)) {
        audio.anchor = clock.report;
        audio.anchored = true;
    }
    // Nothing counts as played before a report to rest on.
    if (audio.anchored) {
        audio.heardFrames =
            webFramesHeard(audio.anchor, clock.contextTime, clock.latency, audio.sampleRate,
                           audio.ringFrames, clock.ceiling, audio.heardFrames);
    }
    *bytes = audio.heardFrames * 4;
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
    const WebClock clock = readClock();
    if (!clock.playing) {
        return false;
    }
    if (!clock.worklet) {
        // What the processor has copied out of the ring.
        *bytes = std::max(audio.heardFrames, clock.ceiling) * 4;
        return true;
    }
    // The last report, borne out or not: the bound is the larger for it.
    const WebSoundReport since = clock.reports > 0 ? clock.report : WebSoundReport{0, clock.postTime};
    *bytes = workletFramesTaken(since, clock.contextTime, audio.sampleRate, clock.buffering,
                                audio.heardFrames) *
             4;
    return true;
}

// The worklet plays a copy: the stretch goes to it. The script processor
// reads the ring in the program's memory itself and ignores it.
void audioLoopWritten(uint32_t firstByte, uint32_t byteCount) {
    if (!audio.playing || webVirtualTimeActive() || byteCount == 0 ||
        firstByte >= static_cast<uint32_t>(audio.ringFrames) * 4) {
        return;
    }
    const uint32_t count =
        std::min(byteCount, static_cast<uint32_t>(audio.ringFrames) * 4 - firstByte) & ~3u;
    webAudioPost(1, audio.ring, static_cast<int>(firstByte), static_cast<int>(count));
    webAudioWritten(static_cast<int>(count / 4));
}

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
        webAudioPost(2, nullptr, 0, 0);
        webAudioStop();
        audio.playing = false;
        audio.ring = nullptr;
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
