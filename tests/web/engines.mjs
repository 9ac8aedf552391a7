// One surface over the page's three engines: Chromium (Playwright), WebKitGTK (WebKitWebDriver on
// a private Xvfb display) and Firefox ESR (Puppeteer, WebDriver BiDi). Clicks are real input
// events, so whatever the page starts from a tap is allowed to run.
import { spawn } from 'node:child_process';
import { mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { launchBrowser, sleep, tempDir } from './harness.mjs';

export const ENGINES = ['chromium', 'webkit', 'firefox'];

// Marks the element matching `css` whose text includes `text` so each protocol can address it.
function mark(css, text, tag) {
  for (const el of document.querySelectorAll(`[data-pick="${tag}"]`)) el.removeAttribute('data-pick');
  const el = [...document.querySelectorAll(css)].find(e => e.textContent.includes(text));
  el?.setAttribute('data-pick', tag);
  return !!el;
}

class Tab {
  picks = 0;
  constructor(engine) { this.engine = engine; }

  async until(fn, args = [], timeout = 20000) {
    for (const end = Date.now() + timeout; ; await sleep(100)) {
      const v = await this.eval(fn, ...args).catch(e => (Date.now() > end ? Promise.reject(e) : null));
      if (v) return v;
      if (Date.now() > end) throw new Error(`${this.engine}: timed out waiting for ${fn}`);
    }
  }

  async find(css, text = '', timeout = 20000) {
    const tag = String(++this.picks);
    await this.until(mark, [css, text, tag], timeout);
    return `[data-pick="${tag}"]`;
  }

  async click(css, text = '') { await this.clickSelector(await this.find(css, text)); }
}

class PageTab extends Tab {
  async open(browser, downloads) {
    if (this.engine === 'chromium') {
      this.context = await browser.newContext({ acceptDownloads: true, viewport: { width: 390, height: 844 } });
      this.page = await this.context.newPage();
      this.page.on('download', d => d.saveAs(path.join(downloads, d.suggestedFilename())).catch(() => {}));
    } else {
      this.page = await browser.newPage();
      await this.page.setViewport({ width: 390, height: 844 });
    }
  }
  goto(url) { return this.page.goto(url); }
  reload() { return this.page.reload(); }
  eval(fn, ...args) { return this.page.evaluate(([f, a]) => (0, eval)(`(${f})`)(...a), [String(fn), args]); }
  clickSelector(sel) { return this.page.click(sel); }
  async setFiles(css, files) {
    if (this.context) await this.page.setInputFiles(css, files);
    else await (await this.page.$(css)).uploadFile(...files);
  }
  close() { return (this.context ?? this.page).close(); }
}

class WebKitTab extends Tab {
  async open(base) {
    this.base = base;
    const { sessionId } = await this.call('POST', '/session',
      { capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { args: ['--automation'] } } } });
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

export async function launch(engine) {
  const root = tempDir('skiff-engine-');
  const downloads = path.join(root, 'downloads');
  mkdirSync(downloads);
  const procs = [];
  let browser, driver;
  if (engine === 'chromium') {
    browser = await launchBrowser();
  } else if (engine === 'firefox') {
    browser = await puppeteer.launch({
      browser: 'firefox', executablePath: process.env.FIREFOX_BINARY || '/usr/bin/firefox-esr', headless: true,
      userDataDir: path.join(root, 'profile'),
      extraPrefsFirefox: Object.fromEntries(Object.entries({ dir: downloads, folderList: 2, useDownloadDir: true,
        always_ask_before_handling_new_types: false, alwaysOpenPanel: false, start_downloads_in_tmp_dir: false,
      }).map(([k, v]) => ['browser.download.' + k, v])),
    });
  } else {
    const xvfb = spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '1600x1200x24', '-nolisten', 'tcp'], { stdio: ['ignore', 'pipe', 'pipe'] });
    procs.push(xvfb);
    const display = await new Promise((resolve, reject) => {
      xvfb.on('exit', code => reject(new Error(`Xvfb exited (${code})`)));
      xvfb.stdout.once('data', d => resolve(':' + String(d).trim()));
    });
    const port = await freePort();
    // Downloads go to the home's XDG download folder. No accessibility bus or portals on the
    // private session bus: they would outlive the browser (the document portal with a mount).
    const home = path.join(root, 'home');
    const env = { ...process.env, DISPLAY: display, HOME: home, XDG_DOWNLOAD_DIR: downloads, XDG_CONFIG_HOME: path.join(home, '.config'),
      NO_AT_BRIDGE: '1', GTK_USE_PORTAL: '0', GIO_USE_VFS: 'local', WEBKIT_DISABLE_DMABUF_RENDERER: '1' };
    delete env.DBUS_SESSION_BUS_ADDRESS;
    mkdirSync(env.XDG_CONFIG_HOME, { recursive: true });
    writeFileSync(path.join(env.XDG_CONFIG_HOME, 'user-dirs.dirs'), `XDG_DOWNLOAD_DIR="${downloads}"\n`);
    // Its own process group, so that closing ends the driver, the browser and the bus together.
    const proc = spawn('dbus-run-session', ['--', process.env.WEBKIT_DRIVER || '/usr/bin/WebKitWebDriver',
      `--port=${port}`, '--host=127.0.0.1'], { env, stdio: 'ignore', detached: true });
    proc.group = true;
    procs.push(proc);
    driver = `http://127.0.0.1:${port}`;
    for (const end = Date.now() + 10000; !(await fetch(`${driver}/status`).then(r => r.ok, () => false)); await sleep(100)) {
      if (Date.now() > end) throw new Error('WebKitWebDriver did not start');
    }
  }
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
