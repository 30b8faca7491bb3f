// Checks the web edition where a browser asks for a gesture before sound,
// as browsers do by default: with ?autoplay=1 the page starts, finds its
// sound held back, keeps the song at its start and asks for a click; the
// click lets the song play. Then Space and a double-click take the page to
// fullscreen, with the picture 4:3 in the middle of a wider screen, and
// Space leaves it again.
//
//   node scripts/check-web-gestures.mjs URL
//
// URL is the served site's index.html. Needs what scripts/web-browser.mjs
// needs. Prints a closing "N passed, N failed".
import { launchBrowser, makeChecks, openPage, waitFor } from "./web-browser.mjs";

const [url] = process.argv.slice(2);
if (!url) {
  console.error("usage: node scripts/check-web-gestures.mjs URL");
  process.exit(2);
}
const Width = 1280;
const Height = 720;
const browser = await launchBrowser({ width: Width, height: Height,
                                     autoplayPolicy: "document-user-activation-required" });
const { check, finish } = makeChecks();
const pause = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));
try {
  const { page, errors } = await openPage(browser, url, "autoplay=1", { width: Width, height: Height });
  // Puppeteer's own evaluations count as a gesture; until the click the
  // page is only read through the protocol, which does not.
  const session = await page.createCDPSession();
  const read = async (expression) => {
    const reply = await session.send("Runtime.evaluate", { expression, returnByValue: true });
    return reply.result.value;
  };
  const drawing = await waitFor(() => read("window.korvanthe.status().framesDrawn > 0"));
  const asking = await waitFor(() => read('!document.getElementById("front").classList.contains("hidden")'));
  await pause(1000);
  const held = await read(`({
    state: Module.korvantheSound.context.state,
    asking: !document.getElementById("front").classList.contains("hidden"),
    button: document.getElementById("start").textContent,
    status: window.korvanthe.status(),
    activated: navigator.userActivation.hasBeenActive,
  })`);
  check("without a gesture the sound is held back", held.state === "suspended" && !held.activated,
        held.state);
  check("the page asks for a click", held.asking && held.button === "Sound on",
        `${held.button}; first frame after ${drawing.seconds} s, the request ${asking.seconds} s later`);
  check("the song waits at its start", held.status.framesPlayed === 0 && held.status.row === 0,
        JSON.stringify(held.status));

  await page.mouse.click(Width / 2, Height / 2);
  const played = await waitFor(() => page.evaluate(() => window.korvanthe.status().framesPlayed > 44100));
  const playing = await page.evaluate(() => ({
    state: Module.korvantheSound.context.state,
    asking: !document.getElementById("front").classList.contains("hidden"),
    status: window.korvanthe.status(),
  }));
  check("a click lets the song play", playing.state === "running" && playing.status.framesPlayed > 44100,
        `${playing.state}, ${JSON.stringify(playing.status)}; a second played after ${played.seconds} s`);
  check("the request goes away", !playing.asking);

  // The canvas's place on the screen: 4:3, as high as the screen, centred.
  const canvasBox = () => page.evaluate(() => {
    const box = document.getElementById("canvas").getBoundingClientRect();
    return { fullscreen: document.fullscreenElement !== null, x: box.x, y: box.y,
             width: box.width, height: box.height };
  });
  const pillarboxed = (box) => Math.abs(box.height - Height) < 1 &&
      Math.abs(box.width - Height * 4 / 3) < 1 && Math.abs(box.x - (Width - box.width) / 2) < 1;
  const fullscreen = () => waitFor(() => page.evaluate(() => document.fullscreenElement !== null));
  await page.keyboard.press("Space");
  const entered = await fullscreen();
  const full = await canvasBox();
  check("Space asks for fullscreen", full.fullscreen, `after ${entered.seconds} s`);
  check("the picture keeps 4:3 with bars at the sides", pillarboxed(full), JSON.stringify(full));
  await page.keyboard.press("Space");
  const left = await waitFor(() => page.evaluate(() => document.fullscreenElement === null));
  check("Space again leaves fullscreen", !(await canvasBox()).fullscreen, `after ${left.seconds} s`);
  await page.mouse.click(Width / 2, Height / 2, { clickCount: 2 });
  const again = await fullscreen();
  check("a double-click asks for fullscreen", (await canvasBox()).fullscreen, `after ${again.seconds} s`);
  check("no console errors", errors.length === 0, errors.slice(0, 3).join(" | "));
} finally {
  await browser.close();
}
process.exit(finish());
