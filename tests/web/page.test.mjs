// The browser page in headless Chromium (Debian's chromium-headless-shell,
// driven by puppeteer-core): the page served from build-web/ on 127.0.0.1, a
// player's keys, a scripted joypad, and what the game reports through its
// read-only state query. Run by `make test-web`:
//   node --test tests/web/            (ZAP_WEB_BUILD: the build, default build-web)
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..', process.env.ZAP_WEB_BUILD || 'build-web');
const chromium = process.env.ZAP_CHROMIUM || '/usr/bin/chromium-headless-shell';
// A bound on each wait, so that a page that stopped fails instead of hanging.
const WAIT = { timeout: 90000, polling: 50 };

// The page's own files, as a game host serves them, and nothing else.
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
function serve() {
  const server = http.createServer((req, res) => {
    const name = new URL(req.url, 'http://127.0.0.1').pathname.replace(/^\/$/, '/index.html');
    const file = path.join(root, path.normalize(name));
    const type = TYPES[path.extname(file)];
    if (!file.startsWith(root + path.sep) || !type || !fs.existsSync(file)) {
      res.writeHead(404).end();
      return;
    }
    res.writeHead(200, { 'Content-Type': type });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Two joypads that the page sees before the game starts. A change counts only
// with a new timestamp: SDL skips a pad whose timestamp stands still.
function scriptedPads() {
  const pad = (index) => ({
    id: 'Scripted pad ' + index, index, connected: true, mapping: 'standard', timestamp: 1, axes: [0, 0, 0, 0],
    buttons: Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 })),
  });
  const pads = [pad(0), pad(1)];
  window.zapSetPadButton = (index, button, down) => {
    pads[index].buttons[button] = { pressed: down, touched: down, value: down ? 1 : 0 };
    pads[index].timestamp += 1;
  };
  navigator.getGamepads = () => pads.slice();
}

const FLAGS = ['--enable-unsafe-swiftshader', '--no-sandbox', '--disable-background-networking',
  '--disable-component-update', '--no-first-run'];
const launch = (extra = []) =>
  puppeteer.launch({ executablePath: chromium, headless: 'shell', args: [...FLAGS, ...extra] });

let server, browser, page;
const problems = []; // console errors, page errors, failed requests
const fetched = new Set(); // what the page asked the network for

before(async () => {
  server = await serve();
  browser = await launch();
  page = await browser.newPage();
  await page.setViewport({ width: 1024, height: 768 });
  page.on('console', (m) => { if (m.type() === 'error') problems.push('console: ' + m.text()); });
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  page.on('requestfailed', (r) => problems.push('request failed: ' + r.url()));
  page.on('response', (r) => { if (r.status() >= 400) problems.push(`HTTP ${r.status()}: ${r.url()}`); });
  page.on('request', (r) => { if (!r.url().startsWith('data:')) fetched.add(new URL(r.url()).pathname); });
  await page.evaluateOnNewDocument(scriptedPads);
  await page.goto(`http://127.0.0.1:${server.address().port}/`, { waitUntil: 'load' });
});

after(async () => {
  await browser?.close();
  server?.close();
});

const state = () => page.evaluate(() => JSON.parse(UTF8ToString(Module._zap_state())));
// Waits until the game's state passes the check (evaluated in the page).
const until = (check) =>
  page.waitForFunction(`(() => { const s = JSON.parse(UTF8ToString(Module._zap_state())); return ${check}; })()`,
    WAIT);
const framesPass = async (n) => {
  const { frames } = await state();
  await until(`s.frames >= ${frames + n}`);
};

// The colour of picture pixels in a screenshot (WebGL clears its drawing
// buffer once composited, so the canvas itself cannot be read back).
async function pixels(points) {
  const shot = await page.screenshot({ encoding: 'base64' });
  return page.evaluate(async (shot, points) => {
    const image = new Image();
    image.src = 'data:image/png;base64,' + shot;
    await image.decode();
    const c = document.createElement('canvas');
    c.width = image.width;
    c.height = image.height;
    const g = c.getContext('2d');
    g.drawImage(image, 0, 0);
    const r = document.getElementById('canvas').getBoundingClientRect();
    return points.map(([x, y]) => Array.from(g.getImageData(Math.floor(r.left + (x + 0.5) * r.width / 1024),
      Math.floor(r.top + (y + 0.5) * r.height / 768), 1, 1).data.slice(0, 3)));
  }, shot, points);
}

test('the page starts behind its gate, and the gate key is not the game\'s', async () => {
  await page.waitForFunction(() => window.Module && Module.calledRun, WAIT);
  await until(`s.screen === 'attract'`);
  assert.equal(await page.$eval('#gate', (g) => !g.hidden && g.textContent), 'Press a key or click to start');
  assert.deepEqual(problems, []);

  // Space at the gate would join player 1 if the game saw it.
  await page.keyboard.press('Space');
  assert.equal(await page.$eval('#gate', (g) => g.hidden), true);
  await framesPass(10);
  assert.deepEqual((await state()).humans, [0, 0, 0, 0]);
  assert.equal(await page.evaluate(() => Module.SDL2.audioContext.state), 'running');
  // The loudest sample SDL hands the browser from here on.
  await page.evaluate(() => {
    const node = Module.SDL2.audio.scriptProcessorNode;
    const deliver = node.onaudioprocess;
    window.zapPeak = 0;
    node.onaudioprocess = (e) => {
      deliver(e);
      for (const v of e.outputBuffer.getChannelData(0)) window.zapPeak = Math.max(window.zapPeak, Math.abs(v));
    };
  });
  assert.equal(await page.evaluate(() => document.activeElement.id), 'canvas');
  // Space and the arrows do not scroll the page.
  await page.keyboard.press('ArrowDown');
  assert.equal(await page.evaluate(() => window.scrollY), 0);
});

test('the attract screen is drawn: the four score boxes in the players\' colours', async () => {
  // The attract screen comes up from black over its first two seconds (100
  // frames) while the score boxes glide into place (up to 52): look once it
  // is all up, however long the page took to load.
  await until(`s.screen === 'attract' && s.frames >= s.screens[s.screens.length - 1][1] + 150`);
  // The score boxes stand right of the playfield, where nothing flies over.
  const [green, yellow, blue, red] = await pixels([[990, 40], [990, 92], [990, 144], [990, 196]]);
  const strongest = ([r, g, b]) => (r > g + 20 && r > b + 20 ? 'r' : g > r + 20 && g > b + 20 ? 'g'
    : b > r + 20 && b > g + 20 ? 'b' : r > b + 20 && g > b + 20 ? 'rg' : '?');
  assert.deepEqual([green, yellow, blue, red].map(strongest), ['g', 'rg', 'b', 'r'],
    JSON.stringify([green, yellow, blue, red]));
});

test('Space joins player 1 and a joypad\'s buttons 0-3 are player 2\'s switch', async () => {
  await page.keyboard.press('Space');
  await until('s.humans[0] === 1');

  const tap = async (button) => {
    await page.evaluate((b) => zapSetPadButton(1, b, true), button);
    await framesPass(3);
    await page.evaluate((b) => zapSetPadButton(1, b, false), button);
    await framesPass(3);
  };
  await tap(0);
  await until('s.humans[1] === 1');
  await tap(3); // a second tap leaves again
  await until('s.humans[1] === 0');
  await tap(0);
  assert.deepEqual((await state()).humans, [1, 1, 0, 0]);
});

test('ESC in the start countdown gives the round up after the countdown (whose blips sound), and ESC then ends the game', async () => {
  await until(`s.screen === 'countdown'`);
  await page.keyboard.press('Escape');
  await until(`s.screen === 'attract'`);
  // The countdown does not read ESC: it runs its 150 frames, and the round's
  // first frame gives the round up.
  const [countdown, round, attract] = (await state()).screens.slice(-3);
  assert.deepEqual([countdown[0], round[0], attract[0]], ['countdown', 'round', 'attract']);
  assert.deepEqual([round[1] - countdown[1], attract[1] - round[1]], [150, 1]);
  // The countdown's blips were mixed and played.
  assert.ok(await page.evaluate(() => window.zapPeak) > 0);

  await framesPass(5);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.getElementById('message').hidden, WAIT);
  assert.equal(await page.$eval('#message', (m) => m.textContent),
    'Thanks for playing! Reload the page to play again.');
  assert.deepEqual(problems, []);
  // The game's files are inside the program: the page's own three were all it fetched.
  assert.deepEqual([...fetched].sort(), ['/', '/zaptomania.js', '/zaptomania.wasm']);
});

test('a browser without WebGL gets a message instead of a blank canvas', async () => {
  const bare = await launch(['--disable-3d-apis']);
  try {
    const p = await bare.newPage();
    const loaded = [];
    p.on('request', (r) => loaded.push(path.basename(new URL(r.url()).pathname)));
    await p.goto(`http://127.0.0.1:${server.address().port}/`, { waitUntil: 'load' });
    assert.match(await p.$eval('#message', (m) => !m.hidden && m.textContent), /needs WebGL/);
    assert.equal(await p.$eval('#canvas', (c) => c.hidden), true);
    assert.deepEqual(loaded, ['']); // the page itself, and not the program it cannot run
  } finally {
    await bare.close();
  }
});
