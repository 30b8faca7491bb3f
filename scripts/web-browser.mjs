// What the web edition's browser checks share: headless Chromium started
// the one way they all need, a page opened on the site with a query added,
// and the "ok:" / "FAILED:" lines with their closing "N passed, N failed".
// Needs puppeteer-core (found through NODE_PATH) and Debian's chromium, or
// the browser named by $CHROMIUM.
import { createRequire } from "module";

const require = createRequire(import.meta.url);
const puppeteer = require("puppeteer-core");

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
