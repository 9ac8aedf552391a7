// What a phone does with the page where browser engines differ, in each engine.
import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { existsSync, readFileSync, readdirSync, statSync, utimesSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { launch } from './engines.mjs';
import { MIB, eventually, partSize, sha256, sleep, uploadCalls, video, withSkiff } from './harness.mjs';

const isShown = id => !document.getElementById(id).classList.contains('hide');

const approved = (skiff, tab) => tab.goto(`${skiff.base}/?t=${skiff.code}`).then(() => skiff.approve()).then(() => tab.until(isShown, ['main']));

// Records the requests; the third chunk waits for the test to freeze the computer, so the cut lands mid-file.
function recordRequests() {
  const { open, send } = XMLHttpRequest.prototype;
  window.opened = [];
  XMLHttpRequest.prototype.open = function (method, url, ...rest) { window.opened.push(this.url = new URL(url, location.href).href); return open.call(this, method, url, ...rest); };
  XMLHttpRequest.prototype.send = function (body) { if (!window.held && this.url.includes('offset=8388608&')) window.held = () => send.call(this, body); else send.call(this, body); };
}

function lockAndUnlock() {
  let hidden = true;
  for (const [key, get] of [['hidden', () => hidden], ['visibilityState', () => (hidden ? 'hidden' : 'visible')]]) Object.defineProperty(document, key, { configurable: true, get });
  for (hidden of [true, false]) document.dispatchEvent(new Event('visibilitychange'));
}

const SCENARIOS = {
  'pairing: the waiting screen shows the program\'s code, approval opens the page, a reload stays connected': (browser, tab) => withSkiff({ host: true }, async ({ skiff }) => {
      await tab.goto(`${skiff.base}/?t=${skiff.code}`);
      await tab.until(isShown, ['waitCard']);
      await tab.until(c => document.getElementById('matchCode').textContent.replace(/\s/g, '') === c, [await skiff.pairingCode()]);
      assert.equal(await tab.eval(() => location.pathname + location.search), '/', 'the code must leave the address bar');
      skiff.answer('c');
      await tab.find('#conn', 'Đã kết nối');
      // A reload reconnects with the remembered code and keeps the chosen tab.
      await tab.click('#tRecv');
      await tab.reload();
      await tab.until(() => !document.getElementById('recvCard').classList.contains('hide') && document.getElementById('tRecv').getAttribute('aria-selected') === 'true');
  }),

  'sending: a file cut off by a locked screen goes on by itself from where the computer stopped; an empty file needs no chunk': (browser, tab) => withSkiff({ host: true }, async ({ skiff, file }) => {
    const when = [new Date('2024-03-05T06:07:08Z'), new Date('2023-01-02T03:04:05Z')];
    const [big, empty] = [file('large clip.bin', randomBytes(12 * MIB + 5)), file('empty.txt', '')];
    [big, empty].forEach((f, i) => utimesSync(f, when[i], when[i]));
    await approved(skiff, tab);
    await tab.eval(recordRequests);
    await tab.setFiles('#files', [big, empty]);
    await tab.click('#send', 'Gửi 2 file');
    await tab.until(() => !!window.held, [], 60000);
    // A frozen computer leaves the request in flight hanging, as a phone's locked screen does.
    skiff.proc.kill('SIGSTOP');
    let kept;
    try {
      await tab.eval(() => { window.held(); });
      await tab.until(() => performance.now() - lastMove > 2500);
      kept = partSize(skiff);
      await tab.eval(lockAndUnlock);
    } finally {
      skiff.proc.kill('SIGCONT');
    }
    await tab.until(isShown, ['doneHead'], 120000);
    const calls = uploadCalls(await tab.eval(() => window.opened));
    // The page asks again before the file's finish; every chunk after that starts at most one chunk before what the computer held.
    const again = calls.indexOf('init', 1), resent = calls.slice(again).filter(c => c.startsWith('chunk')).map(c => Number(c.slice(6)));
    assert.ok(again > 0 && again < calls.indexOf('finish') && resent.every(at => at >= kept - 4 * MIB), `went on at ${resent} although the computer kept ${kept} bytes: ${calls}`);
    assert.deepEqual(calls.slice(-2), ['init', 'finish'], 'the empty file is an init and a finish');
    const stored = f => path.join(skiff.receiveDir, path.basename(f));
    [big, empty].forEach((f, i) => assert.deepEqual([sha256(stored(f)), statSync(stored(f)).mtime.getTime()], [sha256(f), when[i].getTime()], f));
  }),

  'receiving: tiles show a thumbnail; a file and the ZIP download whole and the page shows them saved': (browser, tab, notes = Buffer.alloc(3e6, 'skiff ')) => withSkiff({
    host: true, shared: { 'notes.txt': notes, 'photo.jpg': folder => video(folder, 'photo.jpg', ['-frames:v', '1']) },
  }, async ({ skiff }) => {
      await approved(skiff, tab);
      await tab.click('#tRecv', '(2)');
      await tab.until(() => [...document.querySelectorAll('#list .pic img')].some(i => i.complete && i.naturalWidth > 0));

      await tab.click('.tile:has(.pic[aria-label="Xem notes.txt"]) a.dl', 'Tải về');
      const saved = path.join(browser.downloads, 'notes.txt');
      await eventually(() => assert.ok(existsSync(saved) && readFileSync(saved).equals(notes)), 20000);
      await tab.until(() => !!document.querySelector('.tile:has([aria-label="Xem notes.txt"]) a.dl.done') && document.getElementById('zipTx').textContent !== '✓ Đã lưu cả 2 file');

      await tab.click('#dlZip');
      const zip = () => path.join(browser.downloads, readdirSync(browser.downloads).find(n => n.endsWith('.zip')) ?? 'no zip yet');
      await eventually(() => assert.equal(readFileSync(zip()).readUInt32LE(0), 0x04034b50), 20000);
      await tab.until(() => document.getElementById('zipTx').textContent === '✓ Đã lưu cả 2 file');
  }),

  'receiving: a video plays from the tap itself, muted and inline; "Tải lần lượt" waits for a tap per file on WebKit only': (browser, tab) => withSkiff({
    host: true, shared: { 'clip.mp4': folder => video(folder, 'clip.mp4'), 'one.txt': 'one', 'two.txt': 'two' },
  }, async ({ skiff }) => {
      await approved(skiff, tab);
      await tab.click('#tRecv', '(3)');
      await tab.eval((play = HTMLMediaElement.prototype.play) => {
        HTMLMediaElement.prototype.play = function () { window.playedIn = window.event && window.event.type; return play.call(this); };
      });
      await tab.click('.pic[aria-label="Xem clip.mp4"]');
      assert.deepEqual(await tab.eval((v = document.querySelector('#player video')) => [window.playedIn, v.muted, v.hasAttribute('playsinline'), v.autoplay]),
        ['click', true, true, false]);
      await tab.click('#pClose');
      await tab.until(() => document.getElementById('player').classList.contains('hide'));

      await tab.click('#dlAll');
      const done = () => ['clip.mp4', 'one.txt', 'two.txt'].filter(n => existsSync(path.join(browser.downloads, n)));
      if (browser.engine === 'webkit') {
        for (const step of ['2/3', '3/3']) {
          await tab.find('#dlAll', `Tải file tiếp theo (${step})`);
          await sleep(2500);
          assert.equal(done().length, Number(step[0]) - 1, 'nothing more downloads without a tap');
          await tab.click('#dlAll');
        }
      }
      await tab.find('#dlAll', 'Đã tải 3 file', 15000);
      await eventually(() => assert.equal(done().length, 3), 20000);
  }),
};

for (const engine of process.env.SKIFF_ENGINES?.split(',') ?? ['chromium', 'webkit', 'firefox']) {
  describe(`in ${engine}`, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(() => browser?.close());
    for (const [name, run] of Object.entries(SCENARIOS)) test(name, async () => { const tab = await browser.newTab(); await run(browser, tab).finally(() => tab.close()); });
  });
}
