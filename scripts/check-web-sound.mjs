// Listens to the web edition where a listener would: headless Chromium plays
// the page into a PulseAudio sink and the sink's monitor is recorded
// (parec), while the page's main thread is blocked for BLOCK ms once every
// EVERY ms. Checks, from the first sound to the end of the run:
//   - no run of digital silence (both channels exactly 0) of 10 ms or more;
//   - the sound is the song's own from its first frame on, sample for sample
//     within 2 (the output's float to 16-bit rounding), with nothing missing
//     or repeated (figures only, beside the check above);
//   - the page's play position never goes back, nor its song position;
//   - after each block the picture catches up: frames are drawn again and
//     the position shown is the one heard (the stamp of the heard block,
//     or the one before it, from the offline render's positions).
// Prints the figures of the run and the "ok:" / "FAILED:" lines.
//
//   node scripts/check-web-sound.mjs URL SINK SONG_WAV POSITIONS
//        [--device worklet|script-processor] [--seconds S] [--block MS]
//        [--every MS] [--keep RAW]
//
// URL is the served site's index.html (?autoplay=1 is added); SINK the
// PulseAudio sink Chromium plays into (the server's default, as
// scripts/check-web-sound.sh starts it); SONG_WAV and POSITIONS the song
// rendered natively and its --positions log. --device script-processor
// plays as a browser without AudioWorklet does (the page is given none).
// Needs what scripts/web-browser.mjs needs, and parec.
import { spawn } from "child_process";
import fs from "fs";
import os from "os";
import path from "path";
import { launchBrowser, makeChecks, openPage, waitFor } from "./web-browser.mjs";

const usage = "usage: node scripts/check-web-sound.mjs URL SINK SONG_WAV POSITIONS " +
              "[--device worklet|script-processor] [--seconds S] [--block MS] [--every MS] [--keep RAW]";
const positional = [];
const options = { device: "worklet", seconds: 12, block: 1000, every: 1500, keep: "" };
for (let i = 2; i < process.argv.length; ++i) {
  const word = process.argv[i];
  if (word.startsWith("--")) {
    const name = word.slice(2);
    if (!(name in options) || i + 1 >= process.argv.length) {
      console.error(usage);
      process.exit(2);
    }
    const value = process.argv[++i];
    options[name] = typeof options[name] === "number" ? Number(value) : value;
  } else {
    positional.push(word);
  }
}
const [url, sink, songWav, positionsPath] = positional;
if (!positionsPath || !["worklet", "script-processor"].includes(options.device)) {
  console.error(usage);
  process.exit(2);
}

const Rate = 44100;
const ShortestGapFrames = Rate / 100; // 10 ms
const Tolerance = 2; // the output's float to 16-bit conversion

// The frames of a 16-bit stereo WAV file, left and right interleaved.
function wavSamples(file) {
  const bytes = fs.readFileSync(file);
  for (let offset = 12; offset + 8 <= bytes.length;) {
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

function firstSound(samples) {
  const index = samples.findIndex((value) => value !== 0);
  return index < 0 ? -1 : index >> 1;
}

// Runs of frames in which both channels are exactly 0, from frame `from` to
// `to`, of at least `shortest` frames: [first frame, length].
function silentRuns(samples, from, to, shortest) {
  const runs = [];
  let start = -1;
  for (let frame = from; frame <= to; ++frame) {
    const silent = frame < to && samples[2 * frame] === 0 && samples[2 * frame + 1] === 0;
    if (silent && start < 0) {
      start = frame;
    } else if (!silent && start >= 0) {
      if (frame - start >= shortest) {
        runs.push([start, frame - start]);
      }
      start = -1;
    }
  }
  return runs;
}

// The stamps of the offline render, one per block: order * 256 + row.
function readPositions(file) {
  return fs.readFileSync(file, "utf8").split("\n").filter((line) => line.trim())
      .map((line) => line.trim().split(/\s+/).map(Number)).map(([, order, row]) => order * 256 + row);
}

// A browser without AudioWorklet, for the fallback.
function hideAudioWorklet() {
  Object.defineProperty(BaseAudioContext.prototype, "audioWorklet", { get: () => undefined });
}

// Blocks the page's main thread for `block` ms every `every` ms; the page
// keeps the start of each block in window.korvantheBlocks.
function blockMainThread(block, every) {
  window.korvantheBlocks = [];
  setInterval(() => {
    const start = performance.now();
    window.korvantheBlocks.push(start);
    while (performance.now() < start + block) {
      // busy
    }
  }, every);
}

const song = wavSamples(songWav);
const positions = readPositions(positionsPath);
const recordingPath = options.keep || path.join(os.tmpdir(), `korvanthe-web-sound-${process.pid}.raw`);
const recording = fs.createWriteStream(recordingPath);
const recorder = spawn("parec", ["-d", `${sink}.monitor`, "--latency-msec=2", "--format=s16le",
                                 "--rate=44100", "--channels=2", "--raw"],
                       { stdio: ["ignore", "pipe", "inherit"] });
recorder.stdout.pipe(recording);
const recorderEnded = new Promise((resolve) => recording.on("finish", resolve));

const browser = await launchBrowser({ width: 640, height: 480, sound: true,
                                     autoplayPolicy: "no-user-gesture-required" });
const { check, finish } = makeChecks();
const samples = [];
try {
  const { page, errors } = await openPage(browser, url, "autoplay=1", {
    width: 640, height: 480,
    beforeLoad: (page) => options.device === "script-processor" ?
        page.evaluateOnNewDocument(hideAudioWorklet) : Promise.resolve(),
  });
  const sounding = await waitFor(() => page.evaluate(() => window.korvanthe.status().framesPlayed > 0));
  if (!sounding.met) {
    throw new Error(`the page played nothing: not after ${sounding.seconds} s`);
  }
  await page.evaluate(blockMainThread, options.block, options.every);
  const started = Date.now();
  while (Date.now() - started < options.seconds * 1000) {
    const status = await page.evaluate(() => ({ ...window.korvanthe.status(), now: performance.now() }));
    samples.push(status);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  const blocks = await page.evaluate(() => window.korvantheBlocks);
  const latency = await page.evaluate(() => {
    const context = Module.korvantheSound.context;
    return { output: context.outputLatency, base: context.baseLatency };
  });
  // The recording ends while the page still plays.
  recorder.kill("SIGINT");
  await recorderEnded;

  const device = samples[0].device;
  const BlockFrames = samples[0].blockFrames;
  check(`the page plays through the ${options.device}`, device === options.device, device);
  check("no console errors", errors.length === 0, errors.slice(0, 3).join(" | "));

  const heard = new Int16Array(fs.readFileSync(recordingPath).buffer.slice(0));
  // The last moments may hold what parec had not yet written out.
  const end = Math.max(0, (heard.length >> 1) - Rate / 10);
  const heardStart = firstSound(heard);
  const songStart = firstSound(song);
  const gaps = heardStart < 0 ? [] : silentRuns(heard, heardStart, end, ShortestGapFrames);
  const songGaps = silentRuns(song, songStart, Math.min(song.length >> 1, songStart + end - heardStart),
                              ShortestGapFrames);
  const shortGaps = heardStart < 0 ? [] : silentRuns(heard, heardStart, end, 1);
  const longestShort = shortGaps.reduce((longest, [, length]) => Math.max(longest, length), 0);
  let matching = 0;
  for (; heardStart >= 0 && heardStart + matching < end && songStart + matching < (song.length >> 1);
       ++matching) {
    const a = 2 * (heardStart + matching);
    const b = 2 * (songStart + matching);
    if (Math.abs(heard[a] - song[b]) > Tolerance || Math.abs(heard[a + 1] - song[b + 1]) > Tolerance) {
      break;
    }
  }
  const heardSeconds = heardStart < 0 ? 0 : (end - heardStart) / Rate;
  console.log(`${options.device}: ${heardSeconds.toFixed(2)} s heard from the first sound on, ` +
              `main thread blocked ${blocks.length} times for ${options.block} ms every ` +
              `${options.every} ms; output latency ${(latency.output * 1000).toFixed(1)} ms ` +
              `(the context's own ${(latency.base * 1000).toFixed(1)} ms); silent runs of 10 ms or more: ${gaps.length}` +
              (gaps.length ? " (" + gaps.slice(0, 8).map(([at, length]) =>
                  `${(length / Rate * 1000).toFixed(1)} ms at ${((at - heardStart) / Rate).toFixed(3)} s`)
                  .join(", ") + ")" : "") +
              `; longest silent run ${(longestShort / Rate * 1000).toFixed(2)} ms; the song's own ` +
              `sound, sample for sample, for the first ${(matching / Rate).toFixed(3)} s`);
  check("the song has no silence of its own in the stretch heard", songGaps.length === 0,
        songGaps.map(([at, length]) => `${length} frames at ${at}`).join(", "));
  check("sound was heard", heardStart >= 0 && heardSeconds > options.seconds / 2,
        `${heardSeconds.toFixed(2)} s`);
  check("no silence of 10 ms or more from the first sound on", gaps.length === 0,
        `${gaps.length} silent runs`);
  check("the first frames heard are the song's first frames, a block at least", matching >= BlockFrames,
        `the first ${matching} frames match`);

  let back = 0;
  let rowBack = 0;
  for (let i = 1; i < samples.length; ++i) {
    back += samples[i].framesPlayed < samples[i - 1].framesPlayed ? 1 : 0;
    const before = samples[i - 1].order * 256 + samples[i - 1].row;
    rowBack += samples[i].order * 256 + samples[i].row < before ? 1 : 0;
  }
  check("the position never goes back", back === 0 && rowBack === 0,
        `${samples.length} readings; back ${back} times, song position back ${rowBack} times`);

  // After each block: the first reading 300 ms after its end or later that
  // has drawn frames since the block began, and shows the heard block's
  // stamp (or its predecessor's, which a refill not yet made still shows).
  const caughtUp = [];
  let stuck = "";
  for (const blockStart of blocks) {
    const before = samples.filter((s) => s.now < blockStart).pop();
    const after = samples.filter((s) => s.now >= blockStart + options.block);
    // A block too near the end of the run to be followed for 300 ms is not judged.
    if (!before || after.length === 0 ||
        samples[samples.length - 1].now < blockStart + options.block + 300) {
      continue;
    }
    const fine = after.find((s) => {
      const heardBlock = Math.floor(s.framesPlayed / BlockFrames);
      const shown = s.order * 256 + s.row;
      return s.framesDrawn > before.framesDrawn &&
             (shown === positions[heardBlock] || shown === positions[heardBlock - 1]);
    });
    caughtUp.push(fine ? fine.now - (blockStart + options.block) : Infinity);
    if (!fine && !stuck) {
      const last = after[after.length - 1];
      stuck = `after the block at ${(blockStart / 1000).toFixed(1)} s the page still showed ` +
              `${last.order}:${last.row} at heard frame ${last.framesPlayed}, ` +
              `${last.framesDrawn - before.framesDrawn} frames drawn since`;
    }
  }
  const worst = Math.max(...caughtUp);
  check("the picture catches up after each block", caughtUp.length > 0 && worst <= 300,
        `${caughtUp.length} blocks; caught up within ${worst.toFixed(0)} ms of the block's end at worst` +
            (stuck ? "; " + stuck : ""));
} finally {
  recorder.kill("SIGINT");
  await browser.close();
  if (!options.keep) {
    fs.rmSync(recordingPath, { force: true });
  }
}
process.exit(finish());
