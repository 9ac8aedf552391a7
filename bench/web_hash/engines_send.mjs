// The phone page's send speed in Chromium, WebKitGTK and Firefox ESR: one file (256 MiB by
// default) sent by the real page to the program over loopback, in rounds. Each engine sends
// as the page is, with its live progress panel hidden (the page's own ceiling in that engine),
// and with the other chunk body (a file slice or the bytes already read). Prints JSON.
// Run with `node --experimental-websocket` on Node 20 (Node 22 has WebSocket built in).
import { mkdtempSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { launch } from '../../tests/web/engines.mjs';
import { Skiff } from '../../tests/web/harness.mjs';
import { bareChromium } from './bare_chromium.mjs';
import { writeRandomFile } from './random_file.mjs';

const MIB = 1024 * 1024;
const SIZE = Number(process.env.SEND_MIB || 256) * MIB;
const ROUNDS = Number(process.env.ROUNDS || 3);
const ENGINES = (process.env.ENGINES || 'chromium,webkit,firefox').split(',');

// One tab per engine behind three calls: go to an address, run an expression (awaiting a
// promise it gives), choose files. Chromium runs without Playwright, whose DevTools session
// would copy every request body.
async function openTab(engine, work) {
  if (engine === 'chromium') {
    const tab = await bareChromium(path.join(work, 'chromium-profile'));
    return {
      goto: url => tab.send('Page.navigate', { url }),
      js: async expression => (await tab.send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true })).result.value,
      async setFiles(css, files) {
        const { root } = await tab.send('DOM.getDocument');
        const { nodeId } = await tab.send('DOM.querySelector', { nodeId: root.nodeId, selector: css });
        await tab.send('DOM.setFileInputFiles', { nodeId, files });
      },
      close: () => tab.close(),
    };
  }
  const browser = await launch(engine);
  const tab = await browser.newTab();
  if (engine === 'webkit') await tab.call('POST', `${tab.session}/timeouts`, { script: 30 * 60000 });
  return {
    goto: url => tab.goto(url),
    js: expression => tab.eval(e => (0, eval)(e), expression),
    setFiles: (css, files) => tab.setFiles(css, files),
    close: async () => { await tab.close(); await browser.close(); },
  };
}

async function until(tab, expression, timeout = 30000) {
  for (const end = Date.now() + timeout; !(await tab.js(expression).catch(() => false));) {
    if (Date.now() > end) throw new Error(`timed out waiting for ${expression}`);
    await new Promise(r => setTimeout(r, 100));
  }
}

// Sends the file once and answers MB/s, timed inside the page from the tap on "Gửi" to the
// done screen. `hidden`: the live panel is not drawn; `body`: the chunk body type to force.
async function sendOnce(tab, skiff, source, { hidden, body }) {
  await tab.goto(`${skiff.base}/`);
  await until(tab, `!document.getElementById('main').classList.contains('hide')`);
  await tab.js(`(${body ? `chunkBody = '${body}', ` : ''}${hidden
    ? `document.head.insertAdjacentHTML('beforeend', '<style>#live{display:none!important}</style>'), ` : ''}0)`);
  await tab.setFiles('#files', [source]);
  await until(tab, `!document.getElementById('send').disabled && !document.getElementById('send').classList.contains('hide')`);
  const ms = await tab.js(`new Promise(done => {
    const t0 = performance.now(), head = document.getElementById('doneHead');
    document.getElementById('send').click();
    const poll = setInterval(() => { if (!head.classList.contains('hide')) { clearInterval(poll); done(performance.now() - t0); } }, 50);
  })`);
  if (!(await tab.js(`document.body.textContent.includes('khớp 100%')`))) throw new Error('the page reported no match');
  const stored = path.join(skiff.receiveDir, path.basename(source));
  if (statSync(stored).size !== SIZE) throw new Error('the stored file has the wrong size');
  rmSync(stored);
  return +(SIZE / 1e6 / (ms / 1000)).toFixed(1);
}

const work = mkdtempSync(path.join(tmpdir(), 'skiff-engines-bench-'));
const skiff = await Skiff.start([], { host: true });
const tabs = {};
try {
  const source = path.join(work, 'send.bin');
  writeRandomFile(source, SIZE);
  for (const engine of ENGINES) {
    tabs[engine] = await openTab(engine, work);
    const from = skiff.output.length;
    await tabs[engine].goto(`${skiff.base}/?t=${skiff.code}`);
    // The program knows a device by its address, so only the first engine is asked about.
    skiff.waitFor(/giống số trên điện thoại: (\d{4})/, { from, timeout: 60000 }).then(() => skiff.answer('c'), () => {});
    await until(tabs[engine], `!document.getElementById('main').classList.contains('hide')`);
  }
  const defaults = Object.fromEntries(await Promise.all(ENGINES.map(async e => [e, await tabs[e].js('chunkBody')])));
  const variants = { page: {}, hidden: { hidden: true }, otherBody: {} };
  const runs = [];
  for (let round = 0; round < ROUNDS; round++) {
    // Each round turns the order around, so a machine getting slower falls on every variant.
    const order = ENGINES.flatMap(e => Object.keys(variants).map(v => [e, v]));
    if (round % 2) order.reverse();
    const row = {};
    for (const [engine, variant] of order) {
      const options = variant === 'otherBody' ? { body: defaults[engine] === 'bytes' ? 'slice' : 'bytes' } : variants[variant];
      (row[engine] ??= {})[variant] = await sendOnce(tabs[engine], skiff, source, options);
    }
    runs.push(row);
    console.error(JSON.stringify(row));
  }
  const mean = (engine, variant) => +(runs.reduce((a, r) => a + r[engine][variant], 0) / runs.length).toFixed(1);
  const summary = Object.fromEntries(ENGINES.map(e => [e, {
    body: defaults[e],
    pageMBps: mean(e, 'page'),
    hiddenPanelMBps: mean(e, 'hidden'),
    otherBodyMBps: mean(e, 'otherBody'),
    pageToHidden: +(mean(e, 'page') / mean(e, 'hidden')).toFixed(2),
  }]));
  if (summary.webkit && summary.chromium) summary.webkitToChromium = +(summary.webkit.pageMBps / summary.chromium.pageMBps).toFixed(2);
  console.log(JSON.stringify({ sendMiB: SIZE / MIB, rounds: ROUNDS, summary, runs }, null, 2));
} finally {
  for (const tab of Object.values(tabs)) await Promise.resolve().then(() => tab.close()).catch(() => {});
  await skiff.stop();
  rmSync(work, { recursive: true, force: true });
}
