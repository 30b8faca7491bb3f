// Draws the web edition frame by frame in headless Chromium, in time set as
// korvanthe-capture sets it, and saves the chosen frames as
// frame_NNNNNN.png, to compare with the native capture's frames of the same
// numbers.
//
//   node scripts/web-frames.mjs URL OUTPUT_FOLDER FPS [--at POS]
//                               [--against NATIVE_FOLDER MAX_MEAN] FRAME...
//
// URL is the served site's index.html. With --at, the page starts at POS
// (?at=POS: ORDER:ROW or a time) and frame k is frame k of
// korvanthe-capture --from POS. With --against, each frame is
// compared with the native capture's frame of the same name in
// NATIVE_FOLDER: the mean absolute difference per colour channel (0..255)
// must not pass MAX_MEAN; a closing "N passed, N failed" line counts the
// frames. Needs what scripts/web-browser.mjs needs.
import fs from "fs";
import path from "path";
import { launchBrowser, makeChecks, openPage, waitFor } from "./web-browser.mjs";

const [url, outFolder, fpsText, ...rest] = process.argv.slice(2);
let against = null;
let maxMean = 0;
let at = null;
if (rest[0] === "--at") {
  at = rest[1];
  rest.splice(0, 2);
}
if (rest[0] === "--against") {
  against = rest[1];
  maxMean = Number(rest[2]);
  rest.splice(0, 3);
}
const frameTexts = rest;
const frames = frameTexts.map(Number).sort((a, b) => a - b);
if (!url || !outFolder || !(Number(fpsText) > 0) || frames.length === 0 ||
    frames.some((frame) => !Number.isInteger(frame) || frame < 0) ||
    (against !== null && !(maxMean >= 0)) || at === undefined) {
  console.error("usage: node scripts/web-frames.mjs URL OUTPUT_FOLDER FPS [--at POS] " +
                "[--against NATIVE_FOLDER MAX_MEAN] FRAME...");
  process.exit(2);
}
fs.mkdirSync(outFolder, { recursive: true });
const browser = await launchBrowser({ width: 640, height: 480 });
let status = 0;
const { check, finish } = makeChecks();

// The mean absolute difference per channel of two PNG files of one size,
// decoded by the browser; null when the sizes differ.
async function meanDifference(page, first, second) {
  const urls = [first, second].map(
      (file) => "data:image/png;base64," + fs.readFileSync(file).toString("base64"));
  return page.evaluate(async (urls) => {
    const pixels = [];
    for (const url of urls) {
      const image = new Image();
      image.src = url;
      await image.decode();
      const canvas = document.createElement("canvas");
      canvas.width = image.width;
      canvas.height = image.height;
      const context = canvas.getContext("2d");
      context.drawImage(image, 0, 0);
      pixels.push(context.getImageData(0, 0, image.width, image.height));
    }
    if (pixels[0].width !== pixels[1].width || pixels[0].height !== pixels[1].height) {
      return null;
    }
    let sum = 0;
    const a = pixels[0].data;
    const b = pixels[1].data;
    for (let i = 0; i < a.length; i += 4) {
      sum += Math.abs(a[i] - b[i]) + Math.abs(a[i + 1] - b[i + 1]) + Math.abs(a[i + 2] - b[i + 2]);
    }
    return sum / (a.length / 4 * 3);
  }, urls);
}

try {
  // Made first, so that the page drawing stays the one in front, where
  // animation frames come.
  const comparer = against !== null ? await browser.newPage() : null;
  // Only uncaught exceptions fail the run, each told as it happens.
  const query = "frames=" + fpsText + (at === null ? "" : "&at=" + encodeURIComponent(at));
  const { page } = await openPage(browser, url, query, {
    width: 640, height: 480,
    beforeLoad: (page) => page.on("pageerror", (error) => { console.error(String(error)); status = 1; }),
  });
  const drawing = await waitFor(() => page.evaluate(
      () => window.korvanthe.ready() && window.korvanthe.status().framesDrawn > 0));
  if (!drawing.met) {
    throw new Error(`the page drew no frame: not after ${drawing.seconds} s`);
  }
  let drawn = 0; // frame 0 is drawn at the start
  for (const frame of frames) {
    const more = await page.evaluate((count) => window.korvanthe.stepFrames(count), frame - drawn);
    drawn = frame;
    if (!more && frame > 0) {
      console.error(`the demo ended before frame ${frame}`);
      status = 1;
      break;
    }
    // Let the page paint the frame just drawn.
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => resolve())));
    const name = `frame_${String(frame).padStart(6, "0")}.png`;
    await (await page.$("#canvas")).screenshot({ path: path.join(outFolder, name) });
    console.log(`${name}: ${JSON.stringify(await page.evaluate(() => window.korvanthe.status()))}`);
    if (comparer !== null) {
      const mean = await meanDifference(comparer, path.join(outFolder, name), path.join(against, name));
      check(`${name} against the native frame: mean difference ` +
                `${mean === null ? "(sizes differ)" : mean.toFixed(3)}`,
            mean !== null && mean <= maxMean, `at most ${maxMean}`);
    }
  }
} finally {
  await browser.close();
}
if (against !== null) {
  status = finish() || status;
}
process.exit(status);
