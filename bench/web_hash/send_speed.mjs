// End to end: one 1 GiB file sent by the phone page from headless Chromium to skiff over
// loopback, next to the page's own SHA-256 speed measured in the same run, and next to the
// browser's own ceiling: the same file posted as 4 MiB slices, one at a time, to a server that
// reads and drops the bytes, with no page work at all. Prints JSON.
//
// The send is driven over a bare DevTools connection that never enables the Network domain:
// with it enabled (as Playwright always does) Chromium copies every request body into its
// DevTools events, and byte-array uploads crawl at a few MB/s that no phone would see.
// Run with `node --experimental-websocket` on Node 20 (Node 22 has WebSocket built in).
import { createHash } from 'node:crypto';
import http from 'node:http';
import { createReadStream, mkdtempSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { Skiff, launchBrowser } from '../../tests/web/harness.mjs';
import { bareChromium } from './bare_chromium.mjs';
import { writeRandomFile } from './random_file.mjs';
import { hashSpeeds } from './hash_speed.mjs';

const MIB = 1024 * 1024;
const SIZE = Number(process.env.SEND_MIB || 1024) * MIB;

function sha256Of(file) {
  return new Promise((resolve, reject) => {
    const h = createHash('sha256');
    createReadStream(file).on('data', d => h.update(d)).on('end', () => resolve(h.digest('hex'))).on('error', reject);
  });
}

// The browser alone: slices of the file posted one after another to a sink that only counts bytes.
const SINK_PAGE = `<!doctype html><input type=file id=f><script>
function post(url, body) {
  return new Promise(done => {
    const x = new XMLHttpRequest();
    x.open('POST', url);
    x.onload = () => done(x.status);
    x.onerror = () => done(0);
    x.send(body);
  });
}
async function sendAll() {
  const f = document.getElementById('f').files[0], t0 = performance.now();
  for (let off = 0; off < f.size; off += 4194304)
    if (await post('/sink', f.slice(off, off + 4194304)) !== 200) throw new Error('sink refused');
  return f.size / 1e6 / ((performance.now() - t0) / 1000);
}
</script>`;

async function browserCeiling(tab, source) {
  const sink = http.createServer((req, res) => {
    res.setHeader('connection', 'close');
    if (req.method === 'GET') return res.end(SINK_PAGE);
    req.on('data', () => {}).on('end', () => res.end('{}'));
  });
  await new Promise(resolve => sink.listen(0, '127.0.0.1', resolve));
  try {
    await tab.send('Page.navigate', { url: `http://127.0.0.1:${sink.address().port}/` });
    await tab.until(`typeof sendAll === 'function' && !!document.getElementById('f')`, 10000);
    const { root } = await tab.send('DOM.getDocument');
    const { nodeId } = await tab.send('DOM.querySelector', { nodeId: root.nodeId, selector: '#f' });
    await tab.send('DOM.setFileInputFiles', { nodeId, files: [source] });
    const { result } = await tab.send('Runtime.evaluate', { expression: 'sendAll()', awaitPromise: true, returnByValue: true });
    return +result.value.toFixed(1);
  } finally {
    sink.close();
  }
}

const work = mkdtempSync(path.join(tmpdir(), 'skiff-send-bench-'));
const browser = await launchBrowser();
const skiff = await Skiff.start();
let tab;
try {
  const source = path.join(work, 'one gigabyte.bin');
  writeRandomFile(source, SIZE);
  const hashing = await hashSpeeds(browser, skiff.base, { rounds: 3 });
  await browser.close();

  tab = await bareChromium(path.join(work, 'profile'));
  await tab.send('Page.navigate', { url: `${skiff.base}/?t=${skiff.code}` });
  await skiff.pairingCode();
  skiff.answer('c');
  await tab.until(`!document.getElementById('main').classList.contains('hide')`, 20000);
  const { root } = await tab.send('DOM.getDocument');
  const { nodeId } = await tab.send('DOM.querySelector', { nodeId: root.nodeId, selector: '#files' });
  await tab.send('DOM.setFileInputFiles', { nodeId, files: [source] });
  await tab.until(`!document.getElementById('send').disabled && !document.getElementById('send').classList.contains('hide')`, 10000);
  const t0 = performance.now();
  await tab.evaluate(`document.getElementById('send').click()`);
  await tab.until(`!document.getElementById('doneHead').classList.contains('hide')`, 30 * 60000);
  const seconds = (performance.now() - t0) / 1000;
  if (!(await tab.evaluate(`document.body.textContent.includes('khớp 100%')`))) throw new Error('the page reported no match');

  const stored = path.join(skiff.receiveDir, path.basename(source));
  if (statSync(stored).size !== SIZE || await sha256Of(stored) !== await sha256Of(source))
    throw new Error('the stored file differs from the one sent');
  const mbps = +(SIZE / 1e6 / seconds).toFixed(1);
  const ceiling = await browserCeiling(tab, source);
  console.log(JSON.stringify({
    sendMiB: SIZE / MIB,
    seconds: +seconds.toFixed(1),
    sendMBps: mbps,
    pageSha256MBps: hashing.sha256.page,
    ratio: +(mbps / hashing.sha256.page).toFixed(2),
    browserCeilingMBps: ceiling,
    ceilingToSha256: +(ceiling / hashing.sha256.page).toFixed(2),
    sendToCeiling: +(mbps / ceiling).toFixed(2),
    hashing,
  }, null, 2));
} finally {
  tab?.close();
  await browser.close().catch(() => {});
  await skiff.stop();
  rmSync(work, { recursive: true, force: true });
}
