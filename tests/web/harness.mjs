// Runs the real skiff program and a real headless Chromium against it, over loopback only.
import { execFileSync, spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdtempSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before } from 'node:test';
import { chromium } from 'playwright-core';

const built = name => path.resolve(import.meta.dirname, '../../build/asan', name);
const SKIFF = process.env.SKIFF_BINARY || built('skiff');
const HOST = process.env.SKIFF_PAGE_HOST || built('tests/web/skiff_page_test_host');

export const tempDir = (prefix = 'skiff-web-') => mkdtempSync(path.join(tmpdir(), prefix));
export const MIB = 1024 * 1024;
export const sha256 = file => createHash('sha256').update(readFileSync(file)).digest('hex');
export const sleep = ms => new Promise(r => setTimeout(r, ms));

export async function eventually(check, timeout = 10000) {
  for (const end = Date.now() + timeout; ; await sleep(50)) {
    try { return await check(); } catch (e) { if (Date.now() > end) throw e; }
  }
}

// `shared`: { name: bytes, or a function of the folder giving them }; `host`: the test host instead.
export async function withSkiff({ shared = {}, host = false } = {}, body) {
  const dir = tempDir();
  const file = (name, bytes) => {
    const f = path.join(dir, name);
    mkdirSync(path.dirname(f), { recursive: true });
    writeFileSync(f, typeof bytes === 'function' ? bytes(path.dirname(f)) : bytes);
    return f;
  };
  for (const name in shared) file(path.join('share', name), shared[name]);
  const skiff = await Skiff.start(Object.keys(shared).length ? [path.join(dir, 'share')] : [], host);
  try {
    return await body({ skiff, dir, file });
  } finally {
    await skiff.stop();
    rmSync(dir, { recursive: true, force: true });
  }
}

export const withPhone = (browser, { approve = true, context = {}, ...options } = {}, body) => withSkiff(options, async fixture => {
  const page = await openPage(browser, context);
  if (approve) {
    await page.goto(`${fixture.skiff.base}/?t=${fixture.skiff.code}`);
    await fixture.skiff.approve();
    await page.getByRole('tab', { name: /Gửi lên máy tính/ }).waitFor();
  }
  return body({ ...fixture, page });
});

export function useChromium(held = {}) {
  before(async () => { held.browser = await launchBrowser(); });
  after(() => held.browser?.close());
  return () => held.browser;
}

export const partSize = ({ receiveDir }) =>
  readdirSync(receiveDir).filter(n => n.endsWith('.porter-part')).reduce((_, n) => statSync(path.join(receiveDir, n)).size, 0);

// The upload requests among `urls`, as "init", "chunk 0", "finish".
export const uploadCalls = urls => urls.map(u => new URL(u, 'http://x')).filter(u => u.pathname.startsWith('/api/up/'))
  .map(u => u.pathname.slice(8) + (u.searchParams.has('offset') ? ' ' + u.searchParams.get('offset') : ''));

export function video(folder, name, extra = [], source = 'duration=3:size=64x48:rate=5') {
  execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', `testsrc=${source}`, '-pix_fmt', 'yuv420p', ...extra, path.join(folder, name)]);
  return readFileSync(path.join(folder, name));
}

export class Skiff {
  static async start(sharedPaths = [], host = false) {
    const s = Object.assign(new Skiff(), { root: tempDir(), output: '' });
    mkdirSync(s.home = path.join(s.root, 'home'));
    // No display (it would open the window), and no meeting another Skiff on the bus or the lock.
    const { DISPLAY, WAYLAND_DISPLAY, ...rest } = process.env;
    const env = { ...rest, HOME: s.home, LANG: 'C.UTF-8', XDG_RUNTIME_DIR: s.root, DBUS_SESSION_BUS_ADDRESS: `unix:path=${s.root}/no-bus` };
    s.proc = spawn(host ? HOST : SKIFF, host ? sharedPaths : ['--terminal', ...sharedPaths], { env });
    s.exited = new Promise(resolve => s.proc.on('exit', resolve));
    for (const out of [s.proc.stdout, s.proc.stderr]) out.on('data', chunk => { s.output += chunk; });
    const m = await s.waitFor(/http:\/\/[^\s:]+:(\d+)\/\?t=(\d{6})/);
    [s.port, s.code, s.base] = [Number(m[1]), m[2], `http://127.0.0.1:${m[1]}`];
    return s;
  }

  get receiveDir() { return path.join(this.home, 'Downloads', 'Skiff'); }

  waitFor(re, { from = 0, timeout = 20000 } = {}) {
    return eventually(() => re.exec(this.output.slice(from)) ?? Promise.reject(new Error(`skiff never printed ${re}; output so far:\n${this.output}`)), timeout);
  }

  async pairingCode() { return (await this.waitFor(/giống số trên điện thoại: (\d{4})/))[1]; }
  answer(word) { this.proc.stdin.write(word + '\n'); }
  async approve() { await this.pairingCode(); this.answer('c'); }

  // Test host only: a line such as "share PATH", "text WORDS" or "unshare", once taken.
  async tell(line) {
    const from = this.output.length;
    this.answer(line);
    await this.waitFor(/Đang chia sẻ \d+ (file|đoạn chữ)/, { from });
  }

  async stop() {
    if (this.proc.exitCode === null && this.proc.signalCode === null) this.proc.kill('SIGINT');
    await this.exited;
    rmSync(this.root, { recursive: true, force: true });
  }
}

export const launchBrowser = () => chromium.launch({
  executablePath: process.env.CHROMIUM_BINARY || '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--no-first-run', '--disable-sync', '--disable-quic'],
});

export async function openPage(browser, contextOptions = {}) {
  const page = await (await browser.newContext({ acceptDownloads: true, ...contextOptions })).newPage();
  Object.assign(page, { dialogs: [], requests: [] });
  page.on('dialog', d => { page.dialogs.push(d.message()); d.dismiss().catch(() => {}); });
  page.on('request', r => page.requests.push(r.url()));
  return page;
}
