// One surface over Chromium (Playwright), WebKitGTK (WebKitWebDriver on a private Xvfb display) and
// Firefox ESR (Puppeteer, WebDriver BiDi). Clicks are real input, so what a tap starts may run.
import { spawn } from 'node:child_process';
import { mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { eventually, launchBrowser, tempDir } from './harness.mjs';

const mark = (css, text, tag) => (el => (el?.setAttribute('data-pick', tag), !!el))([...document.querySelectorAll(css)].find(e => e.textContent.includes(text)));

class Tab {
  picks = 0;
  constructor(engine) { this.engine = engine; }
  until(fn, args = [], timeout = 20000) {
    return eventually(async () => (await this.eval(fn, ...args)) || Promise.reject(new Error(`${this.engine}: timed out waiting for ${fn}`)), timeout);
  }
  find(css, text = '', timeout = 20000) {
    const tag = String(++this.picks);
    return this.until(mark, [css, text, tag], timeout).then(() => `[data-pick="${tag}"]`);
  }
  async click(css, text = '') { await this.clickSelector(await this.find(css, text)); }
}

class PageTab extends Tab {
  async open(browser, downloads) {
    if (this.engine !== 'chromium') return (this.page = await browser.newPage()).setViewport({ width: 390, height: 844 });
    this.context = await browser.newContext({ acceptDownloads: true, viewport: { width: 390, height: 844 } });
    this.page = await this.context.newPage();
    this.page.on('download', d => d.saveAs(path.join(downloads, d.suggestedFilename())).catch(() => {}));
  }
  goto(url) { return this.page.goto(url); }
  reload() { return this.page.reload(); }
  eval(fn, ...args) { return this.page.evaluate(([f, a]) => (0, eval)(`(${f})`)(...a), [String(fn), args]); }
  clickSelector(sel) { return this.page.click(sel); }
  async setFiles(css, files) { await (this.context ? this.page.setInputFiles(css, files) : (await this.page.$(css)).uploadFile(...files)); }
  close() { return (this.context ?? this.page).close(); }
}

class WebKitTab extends Tab {
  async open(base) {
    this.base = base;
    const { sessionId } = await this.call('POST', '/session', { capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { args: ['--automation'] } } } });
    this.session = `/session/${sessionId}`;
    // The window's frame takes space of its own: grow the window until the page has 390 x 844.
    await this.call('POST', `${this.session}/window/rect`, { width: 390, height: 844 });
    const [w, h] = await this.eval(() => [innerWidth, innerHeight]);
    await this.call('POST', `${this.session}/window/rect`, { width: 780 - w, height: 1688 - h });
  }
  async call(method, url, body) {
    const res = await fetch(this.base + url, { method, body: body && JSON.stringify(body), headers: { 'content-type': 'application/json' } });
    const { value } = await res.json();
    if (!res.ok) throw new Error(`WebDriver ${url}: ${value.error}: ${value.message}`);
    return value;
  }
  on(sel, verb, body) {
    return this.call('POST', `${this.session}/element`, { using: 'css selector', value: sel })
      .then(e => this.call('POST', `${this.session}/element/${e['element-6066-11e4-a52e-4f735466cecf']}/${verb}`, body));
  }
  goto(url) { return this.call('POST', `${this.session}/url`, { url }); }
  reload() { return this.call('POST', `${this.session}/refresh`, {}); }
  async eval(fn, ...args) {
    const script = `const done = arguments[arguments.length - 1];
      Promise.resolve().then(() => (${fn})(...arguments[0])).then(v => done({ v }), e => done({ e: String(e && e.stack || e) }));`;
    const r = await this.call('POST', `${this.session}/execute/async`, { script, args: [args] });
    if (r.e) throw new Error(r.e);
    return r.v;
  }
  clickSelector(sel) { return this.on(sel, 'click', {}); }
  setFiles(css, files) { return this.on(css, 'value', { text: files.join('\n') }); }
  close() { return this.call('DELETE', this.session); }
}

const freePort = () => new Promise((resolve, reject) => {
  const s = createServer().on('error', reject).listen(0, '127.0.0.1', () => { const { port } = s.address(); s.close(() => resolve(port)); });
});

async function webkitDriver(root, downloads, procs) {
  const xvfb = spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '1600x1200x24', '-nolisten', 'tcp'], { stdio: ['ignore', 'pipe', 'pipe'] });
  procs.push(xvfb);
  const display = await new Promise((resolve, reject) => {
    xvfb.on('exit', code => reject(new Error(`Xvfb exited (${code})`)));
    xvfb.stdout.once('data', d => resolve(':' + String(d).trim()));
  });
  const port = await freePort();
  // Downloads go to the XDG download folder. No accessibility bus or portals on the private bus:
  // they would outlive the browser (the document portal with a mount).
  const home = path.join(root, 'home'), config = path.join(home, '.config');
  const env = { ...process.env, DISPLAY: display, HOME: home, XDG_DOWNLOAD_DIR: downloads, XDG_CONFIG_HOME: config,
    NO_AT_BRIDGE: '1', GTK_USE_PORTAL: '0', GIO_USE_VFS: 'local', WEBKIT_DISABLE_DMABUF_RENDERER: '1' };
  delete env.DBUS_SESSION_BUS_ADDRESS;
  mkdirSync(config, { recursive: true });
  writeFileSync(path.join(config, 'user-dirs.dirs'), `XDG_DOWNLOAD_DIR="${downloads}"\n`);
  // Its own process group, so that closing ends the driver, the browser and the bus together.
  const proc = spawn('dbus-run-session', ['--', process.env.WEBKIT_DRIVER || '/usr/bin/WebKitWebDriver', `--port=${port}`, '--host=127.0.0.1'],
    { env, stdio: 'ignore', detached: true });
  procs.push(Object.assign(proc, { group: true }));
  const driver = `http://127.0.0.1:${port}`;
  await eventually(() => fetch(`${driver}/status`).then(r => r.ok || Promise.reject(new Error('WebKitWebDriver did not start'))), 10000);
  return driver;
}

export async function launch(engine) {
  const root = tempDir('skiff-engine-'), downloads = path.join(root, 'downloads'), procs = [];
  mkdirSync(downloads);
  const prefs = { dir: downloads, folderList: 2, useDownloadDir: true, always_ask_before_handling_new_types: false, alwaysOpenPanel: false, start_downloads_in_tmp_dir: false };
  const browser = engine === 'chromium' ? await launchBrowser() : engine === 'firefox' ? await puppeteer.launch({
    browser: 'firefox', executablePath: process.env.FIREFOX_BINARY || '/usr/bin/firefox-esr', headless: true, userDataDir: path.join(root, 'profile'),
    extraPrefsFirefox: Object.fromEntries(Object.entries(prefs).map(([k, v]) => ['browser.download.' + k, v])),
  }) : null;
  const driver = browser ? null : await webkitDriver(root, downloads, procs);
  return {
    engine,
    downloads,
    async newTab() {
      const tab = driver ? new WebKitTab(engine) : new PageTab(engine);
      await tab.open(driver ?? browser, downloads);
      return tab;
    },
    async close() {
      await browser?.close().catch(() => {});
      for (const p of procs.reverse()) {
        if (p.exitCode !== null || p.signalCode !== null) continue;
        const gone = new Promise(r => p.on('exit', r));
        if (p.group) process.kill(-p.pid, 'SIGTERM'); else p.kill();
        await gone;
      }
      rmSync(root, { recursive: true, force: true });
    },
  };
}
