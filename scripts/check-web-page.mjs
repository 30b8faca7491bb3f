// Loads the web edition in headless Chromium and checks that it runs: no
// console errors, the status advances with the song, the sound position
// moves and what the output plays is not silent; takes screenshots of the
// canvas on the way. (What the sound is, sample for sample and without
// gaps, scripts/check-web-sound.mjs checks where a listener hears it.)
// Then the page started at a time (?t=): the song is heard from there, and
// the keys it hands on to author mode pause it, go on, move it 5 s on and
// back, and show where it is. (That its frames there are the native
// capture's, scripts/web-frames.mjs --at checks.)
//
//   node scripts/check-web-page.mjs URL OUTPUT_FOLDER [SECONDS]
//
// URL is the served site's index.html (?autoplay=1 is added). Needs what
// scripts/web-browser.mjs needs. Prints one line per screenshot and a
// closing "N passed, N failed" line.
import fs from "fs";
import path from "path";
import { launchBrowser, makeChecks, openPage, waitFor } from "./web-browser.mjs";

const [url, outFolder, secondsText] = process.argv.slice(2);
if (!url || !outFolder) {
  console.error("usage: node scripts/check-web-page.mjs URL OUTPUT_FOLDER [SECONDS]");
  process.exit(2);
}
const seconds = Number(secondsText || 20);
fs.mkdirSync(outFolder, { recursive: true });

// A tap on the page's sound, whichever device makes it: the first node the
// page connects to its context's destination is also connected to an
// analyser, which the page's timer reads for the loudest sample so far.
// (The sound itself, sample for sample at a sink, is scripts/check-web-sound.mjs's.)
function tapSound() {
  const recording = { loudest: 0 };
  window.korvantheRecording = recording;
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    const result = connect.call(this, target, ...rest);
    if (!window.korvantheTapped && target instanceof AudioDestinationNode) {
      window.korvantheTapped = true;
      const analyser = this.context.createAnalyser();
      analyser.fftSize = 2048;
      connect.call(this, analyser);
      const samples = new Float32Array(analyser.fftSize);
      setInterval(() => {
        analyser.getFloatTimeDomainData(samples);
        for (const value of samples) {
          recording.loudest = Math.max(recording.loudest, Math.abs(value));
        }
      }, 20);
    }
    return result;
  };
}

// Where the page started at a time begins, in seconds: inside the song,
// with room for 5 s back.
const StartSeconds = 60;

// The page opened with ?t=seconds, the keys pressed one after another, each
// waited for until the status shows it.
async function checkStartedAt(seconds) {
  const { page, errors } = await openPage(browser, url, "autoplay=1&t=" + seconds,
                                          { width: 640, height: 480 });
  const status = () => page.evaluate(() => window.korvanthe.status());
  const until = async (condition) => {
    let last = null;
    const result = await waitFor(async () => condition(last = await status()));
    return { ...result, last };
  };
  const started = await until((now) => now.framesDrawn > 0 && now.framesPlayed > 0);
  // Heard from the start time on: the page started at the song's start
  // would be near 0.
  check(`?t=${seconds}: the song is heard from there`,
        started.met && started.last.seconds >= seconds && started.last.seconds < seconds + 10,
        `song time ${started.last.seconds.toFixed(2)} s at ${started.last.order}:${started.last.row}`);
  await page.keyboard.press("KeyP");
  const paused = await until((now) => now.paused);
  // Held: many frames later the song time has not moved.
  const held = await until((now) => now.framesDrawn >= paused.last.framesDrawn + 20);
  check("P pauses: the song time holds",
        paused.met && held.met && held.last.seconds === paused.last.seconds,
        `${paused.last.seconds.toFixed(3)} s -> ${held.last.seconds.toFixed(3)} s over ` +
        `${held.last.framesDrawn - paused.last.framesDrawn} frames`);
  await page.keyboard.press("KeyP");
  const resumed = await until((now) => !now.paused && now.seconds > held.last.seconds);
  check("P again: it goes on", resumed.met, `${resumed.last.seconds.toFixed(3)} s`);
  await page.keyboard.press("PageDown");
  const later = await until((now) => now.seconds >= resumed.last.seconds + 4.5);
  check("Page Down: 5 s on", later.met,
        `${resumed.last.seconds.toFixed(2)} s -> ${later.last.seconds.toFixed(2)} s`);
  await page.keyboard.press("PageUp");
  const earlier = await until((now) => now.seconds <= later.last.seconds - 4);
  check("Page Up: 5 s back", earlier.met,
        `${later.last.seconds.toFixed(2)} s -> ${earlier.last.seconds.toFixed(2)} s`);
  await page.keyboard.press("KeyI");
  const shown = await waitFor(() => page.evaluate(() => {
    const where = document.getElementById("where");
    return !where.classList.contains("hidden") && /^\d+:\d+  \d+:\d\d\.\d/.test(where.textContent);
  }));
  const text = await page.evaluate(() => document.getElementById("where").textContent);
  check("I shows where the song is", shown.met, JSON.stringify(text));
  check(`?t=${seconds}: no console errors`, errors.length === 0, errors.slice(0, 3).join(" | "));
  await page.close();
}

const browser = await launchBrowser({ width: 640, height: 480,
                                     autoplayPolicy: "no-user-gesture-required" });
const { check, finish } = makeChecks();
try {
  const { page, errors } = await openPage(browser, url, "autoplay=1", {
    width: 640, height: 480,
    beforeLoad: (page) => page.evaluateOnNewDocument(tapSound),
  });
  const drawing = await waitFor(() => page.evaluate(() => window.korvanthe.status().framesDrawn > 0));
  if (!drawing.met) {
    throw new Error(`the page drew no frame: not after ${drawing.seconds} s`);
  }
  console.log(`first frame drawn after ${drawing.seconds} s`);
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
  check("song position advances", last.order * 256 + last.row > first.order * 256 + first.row,
        `${first.order}:${first.row} -> ${last.order}:${last.row}`);

  await checkStartedAt(StartSeconds);
} finally {
  await browser.close();
}
process.exit(finish());
