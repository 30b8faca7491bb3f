// What the web edition's browser checks share: headless Chromium started
// the one way they all need, a page opened on the site with a query added,
// and the "ok:" / "FAILED:" lines with their closing "N passed, N failed".
// Needs puppeteer-core (found through NODE_PATH) and Debian's chromium, or
// the browser named by $CHROMIUM.
import { createRequire } from "module";

const require = createRequire(import.meta.url);
const puppeteer = require("puppeteer-core");

// The bound of every wait for the browser or the page, a minute: far longer
// than any of them takes, even in software rendering on a loaded machine, so
// that only a page that never gets there fails.
export const BoundMilliseconds = 60000;

// Waits until the async condition() is true, asking every 50 ms, for the
// bound at most. Returns whether it came and the seconds waited (a string,
// to a tenth), which the check's line gives.
export async function waitFor(condition) {
  const started = Date.now();
  for (;;) {
    const met = Boolean(await condition());
    const elapsed = Date.now() - started;
    if (met || elapsed >= BoundMilliseconds) {
      return { met, seconds: (elapsed / 1000).toFixed(1) };
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// Chromium without a sandbox (which it refuses to run as root), drawing
// WebGL in software so that pictures do not depend on the machine's graphics. autoplayPolicy,
// when given, is Chromium's --autoplay-policy value. With sound, the page's
// sound goes to the machine's sound server (PULSE_SERVER) instead of being
// muted, as puppeteer has it by default.
export function launchBrowser({ width, height, autoplayPolicy, sound }) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: "new",
    ...(sound ? { ignoreDefaultArgs: ["--mute-audio"] } : {}),
    timeout: BoundMilliseconds,
    args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
           ...(autoplayPolicy ? [`--autoplay-policy=${autoplayPolicy}`] : []),
           `--window-size=${width},${height}`],
  });
}

// A new page of width x height, loaded from url with query ("name=value")
// added to its query string. errors fills with what the page reports as
// errors from the start: console errors and uncaught exceptions.
// beforeLoad(page), when given, runs just before the page is loaded.
export async function openPage(browser, url, query, { width, height, beforeLoad }) {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  page.setDefaultTimeout(BoundMilliseconds);
  const errors = [];
  page.on("console", (message) => {
    if (message.type() === "error") {
      errors.push(message.text());
    }
  });
  page.on("pageerror", (error) => errors.push(String(error)));
  if (beforeLoad) {
    await beforeLoad(page);
  }
  await page.goto(url + (url.includes("?") ? "&" : "?") + query, { waitUntil: "load" });
  return { page, errors };
}

// check(name, ok, detail) prints one "ok:" or "FAILED:" line and counts it;
// finish() prints the closing count and returns the exit status it calls
// for (0 when nothing failed, else 1).
export function makeChecks() {
  let passed = 0;
  let failed = 0;
  return {
    check(name, ok, detail) {
      console.log(`${ok ? "ok" : "FAILED"}: ${name}${detail ? " (" + detail + ")" : ""}`);
      ok ? ++passed : ++failed;
    },
    finish() {
      console.log(`${passed} passed, ${failed} failed`);
      return failed === 0 ? 0 : 1;
    },
  };
}
