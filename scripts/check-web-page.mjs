// Loads the web edition in headless Chromium and checks that it runs: no
// console errors, the status advances with the song, the sound position
// moves and what the output plays is not silent; takes screenshots of the
// canvas on the way.
//
//   node scripts/check-web-page.mjs URL OUTPUT_FOLDER [SECONDS]
//
// URL is the served site's index.html (?autoplay=1 is added). Needs
// puppeteer-core (found through NODE_PATH) and Debian's chromium. Prints one
// line per screenshot and a closing "N passed, N failed" line.
import { createRequire } from "module";
import fs from "fs";
import path from "path";

const require = createRequire(import.meta.url);
const puppeteer = require("puppeteer-core");

const [url, outFolder, secondsText] = process.argv.slice(2);
if (!url || !outFolder) {
  console.error("usage: node scripts/check-web-page.mjs URL OUTPUT_FOLDER [SECONDS]");
  process.exit(2);
}
const seconds = Number(secondsText || 20);
fs.mkdirSync(outFolder, { recursive: true });

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  headless: "new",
  args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
         "--autoplay-policy=no-user-gesture-required", "--window-size=640,480"],
});
let passed = 0;
let failed = 0;
function check(name, ok, detail) {
  console.log(`${ok ? "ok" : "FAILED"}: ${name}${detail ? " (" + detail + ")" : ""}`);
  ok ? ++passed : ++failed;
}
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 640, height: 480 });
  const errors = [];
  page.on("console", (message) => {
    if (message.type() === "error") {
      errors.push(message.text());
    }
  });
  page.on("pageerror", (error) => errors.push(String(error)));
  await page.goto(url + (url.includes("?") ? "&" : "?") + "autoplay=1", { waitUntil: "load" });
  await page.waitForFunction(() => window.korvanthe.status().framesDrawn > 0, { timeout: 30000 });
  const first = await page.evaluate(() => window.korvanthe.status());
  // A tap on the sound output: the loudest sample seen, polled every 50 ms.
  await page.evaluate(() => {
    const sound = Module.korvantheSound;
    const analyser = sound.context.createAnalyser();
    analyser.fftSize = 2048;
    sound.node.connect(analyser);
    const samples = new Float32Array(analyser.fftSize);
    window.korvantheLoudest = 0;
    setInterval(() => {
      analyser.getFloatTimeDomainData(samples);
      for (const sample of samples) {
        window.korvantheLoudest = Math.max(window.korvantheLoudest, Math.abs(sample));
      }
    }, 50);
  });
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
  const loudest = await page.evaluate(() => window.korvantheLoudest);
  check("sound is not silent", loudest > 0.01, `loudest sample ${loudest.toFixed(3)}`);
  check("song position advances", last.order * 256 + last.row > first.order * 256 + first.row,
        `${first.order}:${first.row} -> ${last.order}:${last.row}`);
} finally {
  await browser.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
