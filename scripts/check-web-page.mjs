// Loads the web edition in headless Chromium and checks that it runs: no
// console errors, the status advances with the song, the sound position
// moves and what the output plays is not silent; takes screenshots of the
// canvas on the way. (What the sound is, sample for sample and without
// gaps, scripts/check-web-sound.mjs checks where a listener hears it.)
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
} finally {
  await browser.close();
}
process.exit(finish());
