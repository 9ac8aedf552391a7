// The page's own helpers, inside the page; checksums on the WebAssembly core and the plain script.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash, randomBytes } from 'node:crypto';
import zlib from 'node:zlib';
import { MIB, Skiff, launchBrowser, openPage } from './harness.mjs';

const WINDOW = 65536; // the core's window: lengths around its multiples cross from one copy to the next

let browser, skiff;
const paths = {};
before(async () => {
  [browser, skiff] = await Promise.all([launchBrowser(), Skiff.start()]);
  for (const name of ['core', 'script']) {
    const page = paths[name] = await openPage(browser);
    if (name === 'script') await page.addInitScript(() => { delete globalThis.WebAssembly; });
    await page.goto(`${skiff.base}/`);
    await page.getByRole('heading', { name: 'Nhập mã trên máy tính' }).waitFor();
  }
});
after(() => Promise.all([browser?.close(), skiff?.stop()]));

const sha256 = bytes => createHash('sha256').update(bytes).digest('hex');
const crc32 = bytes => zlib.crc32(bytes).toString(16).padStart(8, '0');

// Piece sizes from 1 byte to a few windows, so block and window edges fall everywhere.
function unevenPieces(total, sizes = []) {
  for (let done = 0, i = 0; done < total; done += sizes.at(-1), i++) sizes.push(Math.min(total - done, [1, 63, 64, 65, 4095, 70001, 3 * WINDOW + 17][i % 7] + i % 61));
  return sizes;
}

const LENGTHS = [0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, WINDOW - 1, WINDOW, WINDOW + 1, 2 * WINDOW + 63];
const CRC_LENGTHS = [0, 1, 7, 8, 9, 15, 16, 17, WINDOW - 1, WINDOW, WINDOW + 9, 5 * MIB];

for (const name of ['core', 'script']) {
  test(`checksums on the ${name} path equal Node's for edge lengths, uneven pieces and interleaved digests`, async () => {
    const page = paths[name];
    assert.equal(await page.evaluate(() => hashCoreReady.then(c => c !== null)), name === 'core', 'the path in use');
    const data = randomBytes(5 * MIB + 3), sizes = unevenPieces(data.length);
    const got = await page.evaluate(([b64, lengths, crcLengths, sizes]) => {
      const bytes = Uint8Array.from(atob(b64), c => c.charCodeAt(0)), a = new Sha256(), b = new Sha256();
      for (let at = 0, i = 0; i < sizes.length; at += sizes[i++]) {
        a.update(bytes.subarray(at, at + sizes[i]));
        b.update(bytes.subarray(at, at + sizes[i]).slice().buffer);
      }
      // crc32 starts one byte in, so the core's 8-byte steps also meet unaligned input.
      return [...lengths.map(n => new Sha256().update(bytes.subarray(0, n)).hex()), a.hex(), b.hex(), ...crcLengths.map(n => crc32(bytes.subarray(1, 1 + n)))];
    }, [data.toString('base64'), LENGTHS, CRC_LENGTHS, sizes]);
    assert.deepEqual(got, [...LENGTHS.map(n => sha256(data.subarray(0, n))), sha256(data), sha256(data), ...CRC_LENGTHS.map(n => crc32(data.subarray(1, 1 + n)))]);
  });
}

test('a dropped folder is read as a tree: every file with its place, one batch, and ids apart for equal files in two folders', async () => {
  const got = await paths.core.evaluate(async () => {
    // Entries as a browser hands them over for a drop; readEntries gives a folder in pieces.
    const file = (name, text) => ({ isFile: true, name, file: ok => ok(new File([text], name, { lastModified: 1700000000000 })) });
    const dir = (name, pieces) => ({ isDirectory: true, name, createReader() { let n = 0; return { readEntries: ok => ok(pieces[n++] || []) }; } });
    const broken = { isFile: true, name: 'x', file: (ok, fail) => fail(new Error('gone')) };
    const tree = dir('Ảnh', [[file('a.jpg', 'A'), dir('2024', [[file('a.jpg', 'A')], [broken]])], [file('b.txt', 'B')]]);
    const files = await droppedFiles([tree, file('loose.txt', 'L')]);
    return [files.map(f => [relPath(f), folderOf(f)]), new Set(files.filter(folderOf).map(f => batchOf.get(f))).size,
      batchOf.has(files.at(-1)), new Set(files.map(uidOf)).size, /^[A-Za-z0-9_-]{6,64}$/.test(batchOf.get(files[0]))];
  });
  assert.deepEqual(got, [[['Ảnh/a.jpg', 'Ảnh/'], ['Ảnh/2024/a.jpg', 'Ảnh/2024/'], ['Ảnh/b.txt', 'Ảnh/'], ['', '']], 1, false, 4, true]);
});

test('upload ids: the same file gives the same id, any other name, size or time another one', async () => {
  const ids = await paths.core.evaluate(() => [['A.JPG', 2048000, 1700000000123], ['A.JPG', 2048000, 1700000000123], ['B.JPG', 2048000, 1700000000123],
    ['A.JPG', 2048001, 1700000000123], ['A.JPG', 2048000, 1700000000124]].map(([name, size, lastModified]) => uidOf({ name, size, lastModified })));
  assert.deepEqual([ids[0] === ids[1], new Set(ids).size], [true, 4], `${ids}`);
});

test('each text helper answers as the page expects', async () => {
  const cases = [
    ['fmt(999)', '999 B'], ['fmt(1000)', '1.00 KB'], ['fmt(15000)', '15.0 KB'], ['fmt(999999)', '1000.0 KB'],
    ['clock(59.6)', '1:00'], ['clock(3725)', '1:02:05'], ['dur(58.2)', '59 giây'], ['dur(60)', '1 phút 00'], ['dur(3725)', '1 giờ 2 phút'],
    ['ext("clip.MoV")', 'MOV'], ['ext("a.tar.abcde")', 'ABCDE'], ['ext("a.abcdef")', ''], ['ext("noext")', ''],
    ['firewallOf({firewall: "ufw"})', 'ufw'], ['firewallOf({firewall: "<b>"})', ''], ['firewallNote("")', ''],
    ['setDevice("android", "Điện thoại Android · <b>Pixel</b> · 7"), [$("#meName").innerHTML, !!$("#meIcon svg")]', ['Android<br>&lt;b&gt;Pixel&lt;/b&gt; · 7', true]],
    ['setDevice("toaster", ""), [$("#meName").innerHTML, !!$("#meIcon svg")]', ['Máy này', true]],
    ...[['(iPhone; CPU iPhone OS 17_0)', false, 'iphone', 'ios'], ['(Macintosh; Intel Mac OS X 10_15)', true, 'ipad', 'ios'],
      ['(Macintosh; Intel Mac OS X 10_15)', false, 'mac', 'desktop'], ['(Linux; android 14) Mobile', false, 'android', 'android'],
      ['(Linux; Android 14)', false, 'tablet', 'android'], ['(Windows NT 10.0)', false, 'windows', 'desktop'],
      ['(X11; Linux x86_64)', false, 'other', 'desktop'],
    ].flatMap(([ua, touch, kind, os]) => [[`kindOf("Mozilla/5.0 ${ua}", ${touch})`, kind], [`osOf("Mozilla/5.0 ${ua}", ${touch})`, os]]),
    ...[['(iPhone) Mobile/15E148 [FBAN/FBIOS;FBAV/450.0]', true], ['(Linux; Android 14) Chrome/120 Mobile Instagram 300.0', true],
      ['(iPhone) Version/17.0 Mobile/15E148 Safari/604.1', false], ['(Linux; Android 14) Chrome/120 Mobile Safari/537.36', false],
    ].map(([ua, want]) => [`inApp("Mozilla/5.0 ${ua}")`, want]),
  ];
  for (const [expr, want] of cases) assert.deepEqual(await paths.core.evaluate(expr), want, expr);
});
