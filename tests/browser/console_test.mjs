// The device console in a real browser: Debian's Chromium, driven by playwright-core. A person
// sends an SMS (with a preview), taps the screen, presses a soft key, adds a contact with a
// picture, looks at the skin's findings, and restarts the device on another screen, and sees the
// journal and the screen follow.
//
// Needs PELLIX_TOOL (the pellix-device binary). Skips, saying why, only when no browser or no
// playwright-core is installed (scripts/install-deps.sh installs both).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { createInterface } from 'node:readline';
import zlib from 'node:zlib';

const here = dirname(fileURLToPath(import.meta.url));
const tool = process.env.PELLIX_TOOL;
const browserPath = [process.env.PELLIX_CHROMIUM, '/usr/bin/chromium', '/usr/bin/chromium-browser'].find((p) => p && existsSync(p));

async function loadPlaywright() {
  try {
    return await import(join(here, 'node_modules', 'playwright-core', 'index.mjs'));
  } catch {
    return null;
  }
}

// A small PNG made here, so the upload is a real picture without a file in the repository.
function png(width, height, rgb) {
  const crcTable = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  const crc = (buf) => { let c = 0xffffffff; for (const b of buf) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8); return (c ^ 0xffffffff) >>> 0; };
  const chunk = (type, data) => {
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length, 0);
    out.write(type, 4, 'ascii');
    data.copy(out, 8);
    out.writeUInt32BE(crc(out.subarray(4, 8 + data.length)), 8 + data.length);
    return out;
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8; header[9] = 2;
  const rows = Buffer.alloc((width * 3 + 1) * height);
  for (let y = 0; y < height; y++) for (let x = 0; x < width; x++) rows.set(rgb, y * (width * 3 + 1) + 1 + x * 3);
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header), chunk('IDAT', zlib.deflateSync(rows)), chunk('IEND', Buffer.alloc(0))]);
}

async function startConsole(image) {
  const child = spawn(tool, ['--image', image, 'console', '--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
  const lines = createInterface({ input: child.stdout });
  const address = await new Promise((resolve, reject) => {
    lines.once('line', resolve);
    child.once('exit', (code) => reject(new Error(`the console exited with ${code}`)));
  });
  return { child, address };
}

// Waits until the page's journal has an entry that `match` accepts, after entry `from`.
// Waits end at what they wait for; the deadline is long enough for a sanitizer build's device.
async function journalEntry(page, from, kind, text) {
  await page.waitForFunction(([from, kind, text]) => window.pellixConsole.journal.slice(from).some((e) => e.kind === kind && e.text.includes(text)),
    [from, kind, text], { timeout: 30000 });
}

const journalLength = (page) => page.evaluate(() => window.pellixConsole.journal.length);
const screenPixels = (page) => page.evaluate(() => {
  const c = document.getElementById('screen');
  return `${c.width}x${c.height}:` + Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data.filter((_, i) => i % 97 === 0)).join(',');
});

test('the device console in a browser', async (t) => {
  const playwright = await loadPlaywright();
  if (!tool) return t.skip('SKIPPED: PELLIX_TOOL is not set');
  if (!browserPath || !playwright) {
    return t.skip(`SKIPPED: no browser to drive (${!browserPath ? 'Chromium is not installed' : 'playwright-core is not installed'}; scripts/install-deps.sh installs both)`);
  }
  const dir = mkdtempSync(join(tmpdir(), 'pellix-console-'));
  const image = join(dir, 'image');
  execFileSync(tool, ['--image', image, 'init']);
  const { child, address } = await startConsole(image);
  const browser = await playwright.chromium.launch({ executablePath: browserPath, args: ['--no-sandbox'] });
  t.after(async () => {
    await browser.close();
    child.kill('SIGTERM');
    await new Promise((resolve) => child.once('exit', resolve));
    rmSync(dir, { recursive: true, force: true });
  });
  const page = await browser.newPage({ viewport: { width: 1280, height: 860 } });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(address);
  await page.waitForFunction(() => window.pellixConsole && window.pellixConsole.screen.stats.frames > 0);

  await t.test('the screen shows at a whole-pixel scale', async () => {
    const size = await page.evaluate(() => {
      const c = document.getElementById('screen');
      const box = c.getBoundingClientRect();
      return { width: c.width, height: c.height, cssWidth: box.width, rendering: getComputedStyle(c).imageRendering };
    });
    assert.equal(size.width, 240);
    assert.equal(size.height, 320);
    assert.ok(Number.isInteger(size.cssWidth / size.width) && size.cssWidth >= size.width, `scaled ${size.cssWidth / size.width}x`);
    assert.equal(size.rendering, 'pixelated');
  });

  await t.test('an SMS is previewed and delivered, and the journal shows its arrival', async () => {
    await page.fill('#sms-form [name=text]', 'Hello :-) call +49171234567 or see http://example.org');
    await page.click('#preview-button');
    const preview = page.frameLocator('#preview');
    await preview.locator('a[href="http://example.org"]').waitFor();
    // The smiley is the skin's picture.
    const smiley = preview.locator('img').first();
    await smiley.waitFor();
    let width = 0;
    for (let i = 0; i < 50 && !width; i++, await page.waitForTimeout(100)) width = await smiley.evaluate((img) => (img.complete ? img.naturalWidth : 0));
    assert.ok(width > 0, 'the smiley picture loads');
    const from = await journalLength(page);
    await page.click('#send-button');
    await page.waitForFunction(() => document.getElementById('sms-result').textContent.startsWith('delivered 1 message'));
    // The message went through the Inbox to Pellix, which the console installed in the new image.
    assert.match(await page.textContent('#sms-result'), /Pellix handled it/);
    await journalEntry(page, from, 'inbox', 'handled 1');
    // The message keeps the handheld awake while it is handled.
    await journalEntry(page, from, 'power', 'unattended on');
  });

  await t.test("a link in Pellix's bubble is tapped, then a soft key pressed", async () => {
    // The skin draws links in its link colour, underlined: the underlines show where they are.
    const links = await page.waitForFunction(() => {
      const c = document.getElementById('screen');
      const data = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      const runs = [];
      for (let y = 0; y < c.height; y++) {
        for (let x = 0, run = 0; x <= c.width; x++) {
          const i = (y * c.width + x) * 4;
          const link = x < c.width && data[i] === 0x0b && data[i + 1] === 0x57 && data[i + 2] === 0xb5;
          if (link) run++;
          else if (run >= 6) runs.push({ x: x - run, y, width: run }), run = 0;
          else run = 0;
        }
      }
      return runs.length >= 2 ? runs : null;
    }, null, { timeout: 30000 }).then((handle) => handle.jsonValue(), async (e) => {
      const last = await page.evaluate(() => window.pellixConsole.journal.slice(-8).map((j) => `${j.kind} ${j.text}`));
      throw new Error(`no bubble with links on the screen (${e.message}); the journal ends:\n${last.join('\n')}`);
    });
    const box = await page.locator('#screen').boundingBox();
    const scale = box.width / 240;
    const at = (x, y) => [box.x + (x + 0.5) * scale, box.y + (y + 0.5) * scale];
    // The first link is the number: a tap offers the number menu.
    let from = await journalLength(page);
    await page.mouse.click(...at(links[0].x + links[0].width / 2, links[0].y - 3));
    await journalEntry(page, from, 'input', 'menu open at');
    assert.ok(await page.evaluate((from) => window.pellixConsole.journal.slice(from).some((e) => e.text.includes('"Call"')), from));
    // The menu waits for the person at the page, shown over the screen; Escape cancels it.
    await page.locator('.prompt-menu button', { hasText: 'Call' }).waitFor();
    from = await journalLength(page);
    await page.keyboard.press('Escape');
    await journalEntry(page, from, 'input', 'menu cancel');
    await page.locator('.prompt-menu').waitFor({ state: 'detached' });
    // Again, and an item is chosen with a click: "Save to contacts" keeps the bubble (a call would
    // take it away) and shows the contact card over the screen, cancelled with its button.
    from = await journalLength(page);
    await page.mouse.click(...at(links[0].x + links[0].width / 2, links[0].y - 3));
    await page.locator('.prompt-menu button', { hasText: 'Save to contacts' }).click();
    await journalEntry(page, from, 'input', 'menu choose "Save to contacts"');
    await page.locator('.prompt-box', { hasText: 'Save contact' }).locator('button', { hasText: 'Cancel' }).click();
    await journalEntry(page, from, 'contact', 'card cancelled');
    await page.locator('.prompt').waitFor({ state: 'detached' });
    // The left soft key ("Mark read") ends the bubble: the key reaches the bubble's bar, and the
    // screen changes.
    const before = await screenPixels(page);
    from = await journalLength(page);
    await page.focus('#screen');
    await page.keyboard.press('F1');
    await journalEntry(page, from, 'input', 'key down VK_F1 -> soft key bar');
    let changed = false;
    for (let i = 0; i < 100 && !changed; i++, await page.waitForTimeout(100)) changed = (await screenPixels(page)) !== before;
    assert.ok(changed, 'the screen changed after the soft key');
  });

  await t.test('a click is a tap and F1 presses the left soft key', async () => {
    const from = await journalLength(page);
    const box = await page.locator('#screen').boundingBox();
    const scale = box.width / 240;
    await page.mouse.click(box.x + 50 * scale + 1, box.y + 150 * scale + 1);
    await journalEntry(page, from, 'input', 'tap 50,150');
    await page.focus('#screen');
    await page.keyboard.press('F1');
    await journalEntry(page, from, 'input', 'key down VK_F1');
    await page.click('.keys button[data-key=End]');
    await journalEntry(page, from, 'input', 'key down VK_F4');
  });

  await t.test('a contact is added with a picture and removed', async () => {
    await page.click('#contacts-panel summary');
    await page.fill('#contact-form [name=name]', 'Ada Quill');
    await page.fill('#contact-form [name=phones]', '+49 171 234567');
    await page.setInputFiles('#contact-form [name=picture]', { name: 'ada.png', mimeType: 'image/png', buffer: png(12, 12, [200, 40, 40]) });
    await page.click('#contact-form button[type=submit]');
    await page.locator('#contacts li', { hasText: 'Ada Quill' }).waitFor();
    await page.fill('#contact-form [name=name]', 'Not A Picture');
    await page.fill('#contact-form [name=phones]', '0171 99999');
    await page.setInputFiles('#contact-form [name=picture]', { name: 'x.png', mimeType: 'image/png', buffer: Buffer.from('not a picture') });
    await page.click('#contact-form button[type=submit]');
    await page.waitForFunction(() => document.getElementById('contact-result').classList.contains('error'));
    assert.equal(await page.locator('#contacts li').count(), 1);
  });

  await t.test('the skin panel shows the check of the active skin', async () => {
    await page.click('#skins-panel summary');
    await page.locator('#skin option[value=default]').waitFor({ state: 'attached' });
    await page.locator('#findings li').first().waitFor();
    await page.click('#skin-reload');
    await page.locator('#findings li').first().waitFor();
  });

  await t.test('the page as the README shows it', async () => {
    const out = process.env.PELLIX_SCREENSHOT_DIR;
    if (!out) return;
    mkdirSync(out, { recursive: true });
    // The picture shows Pellix's bubble on the handheld.
    const from = await journalLength(page);
    await page.fill('#sms-form [name=from]', '+49 171 234567');
    await page.fill('#sms-form [name=text]', 'See you at 8 :-) bring the map, call +49171234567 if late');
    await page.click('#send-button');
    await journalEntry(page, from, 'notification', 'show');
    await page.waitForTimeout(300);
    await page.evaluate(() => {
      document.querySelectorAll('details').forEach((d) => { d.open = d.id !== 'device-panel'; });
      document.getElementById('contact-form').reset();
      document.getElementById('contact-result').textContent = '';
    });
    await page.screenshot({ path: join(out, 'console.png'), fullPage: true });
  });

  await t.test('a restart on another screen keeps the contacts and changes the screen', async () => {
    const before = await screenPixels(page);
    await page.evaluate(() => { document.getElementById('device-panel').open = true; });
    await page.fill('#device-form [name=width]', '320');
    await page.fill('#device-form [name=height]', '240');
    await page.click('#device-form button[type=submit]');
    await page.waitForFunction(() => document.getElementById('device-result').textContent === 'restarted', null, { timeout: 20000 });
    await page.waitForFunction(() => document.getElementById('screen').width === 320);
    assert.notEqual(await screenPixels(page), before);
    await page.locator('#contacts li', { hasText: 'Ada Quill' }).waitFor();
    // Input reaches the new device.
    await page.focus('#screen');
    await page.keyboard.press('F2');
    await journalEntry(page, 0, 'input', 'key down VK_F2');
  });

  assert.deepEqual(errors, []);
});
