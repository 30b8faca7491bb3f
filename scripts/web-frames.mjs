// Draws the web edition frame by frame in headless Chromium, in time set as
// korvanthe-capture sets it, and saves the chosen frames as
// frame_NNNNNN.png, to compare with the native capture's frames of the same
// numbers.
//
//   node scripts/web-frames.mjs URL OUTPUT_FOLDER FPS FRAME...
//
// URL is the served site's index.html. Needs puppeteer-core (through
// NODE_PATH) and Debian's chromium.
import { createRequire } from "module";
import fs from "fs";
import path from "path";

const require = createRequire(import.meta.url);
const puppeteer = require("puppeteer-core");

const [url, outFolder, fpsText, ...frameTexts] = process.argv.slice(2);
const frames = frameTexts.map(Number).sort((a, b) => a - b);
if (!url || !outFolder || !(Number(fpsText) > 0) || frames.length === 0 ||
    frames.some((frame) => !Number.isInteger(frame) || frame < 0)) {
  console.error("usage: node scripts/web-frames.mjs URL OUTPUT_FOLDER FPS FRAME...");
  process.exit(2);
}
fs.mkdirSync(outFolder, { recursive: true });
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  headless: "new",
  args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
         "--window-size=640,480"],
});
let status = 0;
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 640, height: 480 });
  page.on("pageerror", (error) => { console.error(String(error)); status = 1; });
  await page.goto(url + (url.includes("?") ? "&" : "?") + "frames=" + fpsText, { waitUntil: "load" });
  await page.waitForFunction(() => window.korvanthe.ready() && window.korvanthe.status().framesDrawn > 0,
                             { timeout: 30000 });
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
  }
} finally {
  await browser.close();
}
process.exit(status);
