// Loads the web edition in headless Chromium and checks that it runs: no
// console errors, the status advances with the song, the sound position
// moves and what the output plays is not silent; takes screenshots of the
// canvas on the way. Given the song rendered natively (a 16-bit stereo WAV
// file), it also checks that the sound the page plays begins with the
// song's first block, sample for sample.
//
//   node scripts/check-web-page.mjs URL OUTPUT_FOLDER [SECONDS [SONG_WAV]]
//
// URL is the served site's index.html (?autoplay=1 is added). Needs what
// scripts/web-browser.mjs needs. Prints one line per screenshot and a
// closing "N passed, N failed" line.
import fs from "fs";
import path from "path";
import { launchBrowser, makeChecks, openPage } from "./web-browser.mjs";

const [url, outFolder, secondsText, songWav] = process.argv.slice(2);
if (!url || !outFolder) {
  console.error("usage: node scripts/check-web-page.mjs URL OUTPUT_FOLDER [SECONDS [SONG_WAV]]");
  process.exit(2);
}
const seconds = Number(secondsText || 20);
fs.mkdirSync(outFolder, { recursive: true });

// The frames of a 16-bit stereo WAV file, left and right interleaved.
function wavFrames(file) {
  const bytes = fs.readFileSync(file);
  let offset = 12;
  while (offset + 8 <= bytes.length) {
    const id = bytes.toString("ascii", offset, offset + 4);
    const size = bytes.readUInt32LE(offset + 4);
    if (id === "data") {
      const end = Math.min(bytes.length, offset + 8 + size);
      return new Int16Array(bytes.buffer.slice(bytes.byteOffset + offset + 8, bytes.byteOffset + end));
    }
    offset += 8 + size + (size & 1);
  }
  throw new Error(`${file}: no data chunk`);
}

// The index of the first frame that is not silent, or -1.
function firstSound(samples) {
  for (let i = 0; i < samples.length; ++i) {
    if (samples[i] !== 0) {
      return i >> 1;
    }
  }
  return -1;
}

// Two taps on the first sound node the page makes. What the page hands to
// the output, buffer by buffer, right after its own handler fills it: the
// first seconds of it, as 16-bit values, which the output carries exactly
// (value / 32768). Taken at the source, so that a buffer the loaded machine
// plays late (as silence) cannot shift it. And a second processor that hears
// what the node sends on, keeping the loudest sample so far, however long.
const RecordedFrames = 44100 * 3;
function tapSound(recordedFrames) {
  const Context = window.AudioContext;
  const create = Context.prototype.createScriptProcessor;
  const handlerSlot = Object.getOwnPropertyDescriptor(ScriptProcessorNode.prototype, "onaudioprocess");
  const recording = { samples: new Float32Array(recordedFrames * 2), frames: 0, loudest: 0 };
  window.korvantheRecording = recording;
  Context.prototype.createScriptProcessor = function (...args) {
    const node = create.apply(this, args);
    if (window.korvantheTapped) {
      return node;
    }
    window.korvantheTapped = true;
    let pageHandler = null;
    Object.defineProperty(node, "onaudioprocess", {
      get: () => pageHandler,
      set: (handler) => {
        pageHandler = handler;
        handlerSlot.set.call(node, (event) => {
          handler(event);
          const left = event.outputBuffer.getChannelData(0);
          const right = event.outputBuffer.getChannelData(1);
          for (let i = 0; i < left.length && recording.frames < recordedFrames; ++i) {
            recording.samples[2 * recording.frames] = left[i];
            recording.samples[2 * recording.frames + 1] = right[i];
            ++recording.frames;
          }
        });
      },
    });
    const listener = create.call(this, 4096, 2, 1);
    listener.onaudioprocess = (event) => {
      event.outputBuffer.getChannelData(0).fill(0);
      const left = event.inputBuffer.getChannelData(0);
      const right = event.inputBuffer.getChannelData(1);
      for (let i = 0; i < left.length; ++i) {
        recording.loudest = Math.max(recording.loudest, Math.abs(left[i]), Math.abs(right[i]));
      }
    };
    node.connect(listener);
    listener.connect(this.destination);
    return node;
  };
}

const browser = await launchBrowser({ width: 640, height: 480,
                                     autoplayPolicy: "no-user-gesture-required" });
const { check, finish } = makeChecks();
try {
  const { page, errors } = await openPage(browser, url, "autoplay=1", {
    width: 640, height: 480,
    beforeLoad: (page) => page.evaluateOnNewDocument(tapSound, RecordedFrames),
  });
  await page.waitForFunction(() => window.korvanthe.status().framesDrawn > 0, { timeout: 30000 });
  const first = await page.evaluate(() => window.korvanthe.status());
  const shots = [];
  const started = Date.now();
  let last = first;
  while (Date.now() - started < seconds * 1000) {
    await new Promise((resolve) => setTimeout(resolve, 2000));
    last = await page.evaluate(() => window.korvanthe.status());
    const name = `order${last.order}-row${last.row}.png`;
    const canvas = await page.$("#canvas");
    await canvas.screenshot({ path: path.join(outFolder, name) });
    shots.push(name);
    console.log(`screenshot ${name}: ${JSON.stringify(last)}`);
  }
  check("no console errors", errors.length === 0, errors.slice(0, 3).join(" | "));
  check("frames drawn advance", last.framesDrawn > first.framesDrawn,
        `${first.framesDrawn} -> ${last.framesDrawn}`);
  check("sound position advances", last.framesPlayed > first.framesPlayed,
        `${first.framesPlayed} -> ${last.framesPlayed}`);
  const loudest = await page.evaluate(() => window.korvantheRecording.loudest);
  check("sound is not silent", loudest > 0.01, `loudest sample ${loudest.toFixed(3)}`);
  if (songWav) {
    // What the page sent from its first sound on against the song from its
    // first sound on: one block (20 ms) must agree sample for sample.
    const BlockFrames = 882;
    const recorded = await page.evaluate(() => {
      const recording = window.korvantheRecording;
      return Array.from(recording.samples.subarray(0, recording.frames * 2), (value) => value * 32768);
    });
    const song = wavFrames(songWav);
    const heardStart = firstSound(recorded);
    const songStart = firstSound(song);
    let differing = -1;
    if (heardStart >= 0 && songStart >= 0 && recorded.length >= 2 * (heardStart + BlockFrames)) {
      for (let i = 0; i < 2 * BlockFrames; ++i) {
        if (recorded[2 * heardStart + i] !== song[2 * songStart + i]) {
          differing = i;
          break;
        }
      }
    }
    check("the sound begins with the song's first block",
          heardStart >= 0 && songStart >= 0 && differing < 0 &&
              recorded.length >= 2 * (heardStart + BlockFrames),
          `first sound at frame ${heardStart} of ${recorded.length / 2} sent, the song's at ` +
              `frame ${songStart}` + (differing >= 0 ? `; sample ${differing} differs: ` +
              `${recorded[2 * heardStart + differing]} against ${song[2 * songStart + differing]}` : ""));
  }
  check("song position advances", last.order * 256 + last.row > first.order * 256 + first.row,
        `${first.order}:${first.row} -> ${last.order}:${last.row}`);
} finally {
  await browser.close();
}
process.exit(finish());
