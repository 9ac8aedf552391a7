// Runs the real skiff program and a real headless Chromium against it, over loopback only.
import { execFileSync, spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdtempSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before } from 'node:test';
import { chromium } from 'playwright-core';

export const SKIFF = process.env.SKIFF_BINARY || path.resolve(import.meta.dirname, '../../build/asan/skiff');
// The application model with its server, taking "share PATH" lines too (tests/web/host).
export const HOST = process.env.SKIFF_PAGE_HOST || path.resolve(import.meta.dirname, '../../build/asan/tests/web/skiff_page_test_host');
const CHROMIUM = process.env.CHROMIUM_BINARY || '/usr/bin/chromium';

export function tempDir(prefix = 'skiff-web-') {
  return mkdtempSync(path.join(tmpdir(), prefix));
}

export const MIB = 1024 * 1024;
export const sha256 = file => createHash('sha256').update(readFileSync(file)).digest('hex');

// The program (with `host`, the test host) sharing the files of `shared` ({ name: bytes, or a
// function of the folder giving them }), and a scratch folder for the files a test picks. `body`
// gets { skiff, dir, file(name, bytes) → path }; the program and the folder go when it ends.
export async function withSkiff({ shared = {}, host = false } = {}, body) {
  const dir = tempDir();
  const file = (name, bytes) => {
    const f = path.join(dir, name);
    mkdirSync(path.dirname(f), { recursive: true });
    writeFileSync(f, typeof bytes === 'function' ? bytes(path.dirname(f)) : bytes);
    return f;
  };
  const names = Object.keys(shared);
  for (const name of names) file(path.join('share', name), shared[name]);
  const skiff = await Skiff.start(names.length ? [path.join(dir, 'share')] : [], { host });
  try {
    return await body({ skiff, dir, file });
  } finally {
    await skiff.stop();
    rmSync(dir, { recursive: true, force: true });
  }
}

// withSkiff, with a fresh Chromium tab (`page`) that is approved unless `approve` is false.
export function withPhone(browser, { approve = true, context = {}, ...options } = {}, body) {
  return withSkiff(options, async fixture => {
    const page = await openPage(browser, context);
    if (approve) await connectApproved(fixture.skiff, page);
    return body({ ...fixture, page });
  });
}

// One headless Chromium for the test file it is called in.
export function useChromium() {
  const held = {};
  before(async () => { held.browser = await launchBrowser(); });
  after(async () => { await held.browser?.close(); });
  return () => held.browser;
}

// Size of the part file of the upload in progress (0 when there is none).
export function partSize(skiff) {
  const part = readdirSync(skiff.receiveDir).find(n => n.endsWith('.porter-part'));
  return part ? statSync(path.join(skiff.receiveDir, part)).size : 0;
}

// The upload requests among `urls`, as "init", "chunk 0", "finish".
export function uploadCalls(urls) {
  return urls.map(u => new URL(u, 'http://x')).filter(u => u.pathname.startsWith('/api/up/'))
    .map(u => u.pathname.slice(8) + (u.searchParams.has('offset') ? ' ' + u.searchParams.get('offset') : ''));
}

// A real video (or with '-frames:v 1' a JPEG) made in `folder`; its bytes.
export function video(folder, name, extra = [], source = 'duration=3:size=64x48:rate=5') {
  execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', `testsrc=${source}`,
    '-pix_fmt', 'yuv420p', ...extra, path.join(folder, name)]);
  return readFileSync(path.join(folder, name));
}

export class Skiff {
  // `host`: run the test host instead of the program, so files can be shared later on.
  static async start(sharedPaths = [], { host = false } = {}) {
    const s = new Skiff();
    s.root = tempDir();
    s.home = path.join(s.root, 'home');
    mkdirSync(s.home);
    s.output = '';
    const env = { ...process.env, HOME: s.home, LANG: 'C.UTF-8' };
    // A display in the environment would open the window instead of the terminal front end.
    delete env.DISPLAY;
    delete env.WAYLAND_DISPLAY;
    // Nor may it meet the desktop's Skiff, or another test's, on the session bus or the lock.
    env.XDG_RUNTIME_DIR = s.root;
    env.DBUS_SESSION_BUS_ADDRESS = `unix:path=${path.join(s.root, 'no-bus')}`;
    s.proc = spawn(host ? HOST : SKIFF, host ? sharedPaths : ['--terminal', ...sharedPaths], {
      env,
      stdio: ['pipe', 'pipe', 'pipe'],
    });
    s.exited = new Promise(resolve => s.proc.on('exit', (code, signal) => resolve({ code, signal })));
    s.listeners = new Set();
    const feed = chunk => {
      s.output += chunk.toString('utf8');
      for (const l of s.listeners) l();
    };
    s.proc.stdout.on('data', feed);
    s.proc.stderr.on('data', feed);
    const m = await s.waitFor(/http:\/\/[^\s:]+:(\d+)\/\?t=(\d{6})/);
    s.port = Number(m[1]);
    s.code = m[2];
    s.base = `http://127.0.0.1:${s.port}`;
    return s;
  }

  get receiveDir() {
    return path.join(this.home, 'Downloads', 'Skiff');
  }

  // Resolves with the first match of `re` in everything the program has printed from `from` on.
  waitFor(re, { from = 0, timeout = 20000 } = {}) {
    return new Promise((resolve, reject) => {
      const check = () => {
        const m = re.exec(this.output.slice(from));
        if (!m) return false;
        clearTimeout(timer);
        this.listeners.delete(check);
        resolve(m);
        return true;
      };
      const timer = setTimeout(() => {
        this.listeners.delete(check);
        reject(new Error(`skiff never printed ${re}; output so far:\n${this.output}`));
      }, timeout);
      if (!check()) this.listeners.add(check);
    });
  }

  async pairingCode() {
    return (await this.waitFor(/giống số trên điện thoại: (\d{4})/))[1];
  }

  answer(word) {
    this.proc.stdin.write(word + '\n');
  }

  // Test host only: a line such as "share PATH", "text WORDS" or "unshare", once the model
  // has taken it and printed what it now shares.
  async tell(line) {
    const from = this.output.length;
    this.proc.stdin.write(line + '\n');
    await this.waitFor(/Đang chia sẻ \d+ (file|đoạn chữ)/, { from });
  }

  async stop() {
    if (this.proc.exitCode === null && this.proc.signalCode === null) this.proc.kill('SIGINT');
    await this.exited;
    rmSync(this.root, { recursive: true, force: true });
  }
}

export function launchBrowser() {
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--no-first-run', '--disable-sync', '--disable-quic'],
  });
}

// A fresh browser tab that records every dialog the page opens and every request it makes.
export async function openPage(browser, contextOptions = {}) {
  const context = await browser.newContext({ acceptDownloads: true, ...contextOptions });
  const page = await context.newPage();
  page.dialogs = [];
  page.on('dialog', d => { page.dialogs.push(d.message()); d.dismiss().catch(() => {}); });
  page.requests = [];
  page.on('request', r => page.requests.push(r.url()));
  return page;
}

// Retries an assertion until it holds; the last failure is reported when time runs out.
export async function eventually(check, timeout = 10000) {
  const end = Date.now() + timeout;
  for (;;) {
    try { return await check(); } catch (e) {
      if (Date.now() > end) throw e;
    }
    await new Promise(r => setTimeout(r, 50));
  }
}

// Opens the page with the session code and approves the device on the program's side.
export async function connectApproved(skiff, page) {
  await page.goto(`${skiff.base}/?t=${skiff.code}`);
  await skiff.pairingCode();
  skiff.answer('c');
  await page.getByRole('tab', { name: /Gửi lên máy tính/ }).waitFor();
}

const AXE = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

// Runs axe-core on what the page shows now; returns the serious and critical findings as text.
export async function seriousA11yFindings(page) {
  if (!(await page.evaluate(() => typeof window.axe === 'object'))) await page.addScriptTag({ content: AXE });
  // Colours are judged on the settled page, not halfway through a fade-in.
  await page.evaluate(() => Promise.all(document.getAnimations()
    .filter(a => a.effect && a.effect.getTiming().iterations !== Infinity)
    .map(a => a.finished.catch(() => {}))));
  const result = await page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
  return result.violations
    .filter(v => v.impact === 'serious' || v.impact === 'critical')
    .map(v => `${v.id} (${v.impact}): ${v.help}\n` + v.nodes.map(n => `    ${n.target.join(' ')} ${n.failureSummary.replace(/\s+/g, ' ')}`).join('\n'));
}
