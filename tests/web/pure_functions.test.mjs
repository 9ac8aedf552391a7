// The page's own helpers, evaluated inside the page as the browser runs them.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash, randomBytes } from 'node:crypto';
import { Skiff, launchBrowser, openPage } from './harness.mjs';

let browser, skiff, page;
before(async () => {
  browser = await launchBrowser();
  skiff = await Skiff.start();
  page = await openPage(browser);
  await page.goto(`${skiff.base}/`);
  await page.getByRole('heading', { name: 'Nhập mã trên máy tính' }).waitFor();
});
after(async () => {
  await browser?.close();
  await skiff?.stop();
});

describe('folders', () => {
  test('a dropped folder is read as a tree: every file with its place, one batch, and ids apart for equal files in two folders', async () => {
    const got = await page.evaluate(async () => {
      // Entries as a browser hands them over for a drop; readEntries gives a folder in pieces.
      const file = (name, text) => ({ isFile: true, isDirectory: false, name, file: (ok) => ok(new File([text], name, { lastModified: 1700000000000 })) });
      const dir = (name, pieces) => ({
        isFile: false, isDirectory: true, name,
        createReader() { let n = 0; return { readEntries: ok => ok(pieces[n++] || []) }; },
      });
      const broken = { isFile: true, isDirectory: false, name: 'x', file: (ok, fail) => fail(new Error('gone')) };
      const tree = dir('Ảnh', [[file('a.jpg', 'A'), dir('2024', [[file('a.jpg', 'A')], [broken]])], [file('b.txt', 'B')]]);
      const files = await droppedFiles([tree, file('loose.txt', 'L')]);
      return {
        places: files.map(f => [relPath(f), folderOf(f)]),
        batches: [...new Set(files.filter(f => folderOf(f)).map(f => batchOf.get(f)))].length,
        loose: batchOf.has(files[files.length - 1]),
        ids: new Set(files.map(uidOf)).size,
        batchOk: /^[A-Za-z0-9_-]{6,64}$/.test(batchOf.get(files[0])),
      };
    });
    assert.deepEqual(got.places, [['Ảnh/a.jpg', 'Ảnh/'], ['Ảnh/2024/a.jpg', 'Ảnh/2024/'], ['Ảnh/b.txt', 'Ảnh/'], ['', '']]);
    assert.equal(got.batches, 1);
    assert.equal(got.loose, false);
    assert.equal(got.ids, 4);
    assert.ok(got.batchOk);
  });
});

describe('checksums', () => {
  test('crc32 matches the zlib value', async () => {
    assert.equal(await page.evaluate(() => crc32(new TextEncoder().encode('abc'))), '352441c2');
    assert.equal(await page.evaluate(() => crc32(new Uint8Array(0))), '00000000');
  });

  test('Sha256 equals Node\'s digest around every padding boundary, fed whole or in pieces', async () => {
    for (const n of [0, 55, 56, 63, 64, 65, 1000, 70000]) {
      const data = randomBytes(n);
      const want = createHash('sha256').update(data).digest('hex');
      const got = await page.evaluate(bytes => {
        const b = new Uint8Array(bytes);
        const whole = new Sha256().update(b).hex();
        const pieces = new Sha256();
        for (let i = 0; i < b.length; i += 7) pieces.update(b.subarray(i, i + 7));
        return [whole, pieces.hex()];
      }, [...data]);
      assert.deepEqual(got, [want, want], `length ${n}`);
    }
  });

  test('uidOf gives the same upload id for the same file', async () => {
    const ids = await page.evaluate(() => [
      uidOf({ name: 'IMG_0001.JPG', size: 2048000, lastModified: 1700000000123 }),
      uidOf({ name: 'ảnh.jpg', size: 1000, lastModified: 1700000000000 }),
    ]);
    assert.deepEqual(ids, ['u41feb53b-17w8w-3f', 'u3853c87a-rs-0']);
  });
});

describe('text helpers', () => {
  const cases = [
    ['fmt(0)', '0 B'], ['fmt(999)', '999 B'], ['fmt(1000)', '1.00 KB'], ['fmt(1500)', '1.50 KB'],
    ['fmt(15000)', '15.0 KB'], ['fmt(999999)', '1000.0 KB'],
    ['clock(59.6)', '1:00'], ['clock(75)', '1:15'], ['clock(3725)', '1:02:05'],
    ['dur(42.3)', '43 giây'], ['dur(58.2)', '59 giây'], ['dur(60)', '1 phút 00'], ['dur(125)', '2 phút 05'],
    ['dur(3600)', '1 giờ 0 phút'], ['dur(3725)', '1 giờ 2 phút'],
    ['esc(`<a href="x">\'&`)', '&lt;a href=&quot;x&quot;&gt;&#39;&amp;'],
    ['ext("clip.MoV")', 'MOV'], ['ext("archive.tar.toolong")', ''], ['ext("noext")', ''],
    ['icon("A.HEIC")', '🖼️'], ['icon("b.mkv")', '🎬'], ['icon("c.pdf")', '📕'], ['icon("d.7z")', '🗜️'], ['icon("e.m4a")', '🎵'], ['icon("f.doc")', '📄'],
    ['kindOf("Mozilla/5.0 (iPhone; CPU iPhone OS 17_0)", false)', 'iphone'],
    ['kindOf("Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15)", true)', 'ipad'],
    ['kindOf("Mozilla/5.0 (Linux; Android 14) Mobile", false)', 'android'],
    ['kindOf("Mozilla/5.0 (Linux; Android 14)", false)', 'tablet'],
    ['kindOf("Mozilla/5.0 (Windows NT 10.0)", false)', 'windows'],
    ['kindOf("Mozilla/5.0 (X11; Linux x86_64)", false)', 'other'],
    ['osOf("Mozilla/5.0 (Linux; android 14)", false)', 'android'],
    ['osOf("Mozilla/5.0 (iPad; CPU OS 17_0)", false)', 'ios'],
    ['osOf("Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15)", true)', 'ios'],
    ['osOf("Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15)", false)', 'desktop'],
    ['firewallOf({firewall: "ufw"})', 'ufw'], ['firewallOf({firewall: "<b>"})', ''], ['firewallOf({})', ''],
    ['firewallNote("")', ''],
    ['firewallNote("firewalld")', 'Tường lửa (firewalld) của máy tính có thể đang chặn điện thoại. Trên máy tính, chạy lệnh mở cổng mà Skiff đưa ra (nút Trợ giúp › Tường lửa), rồi bấm Thử lại.'],
    ['inApp("Mozilla/5.0 (iPhone; CPU iPhone OS 17_0) Mobile/15E148 Zalo iOS")', true],
    ['inApp("Mozilla/5.0 (iPhone) Mobile/15E148 [FBAN/FBIOS;FBAV/450.0]")', true],
    ['inApp("Mozilla/5.0 (Linux; Android 14) Chrome/120 Mobile Instagram 300.0")', true],
    ['inApp("Mozilla/5.0 (iPhone) Version/17.0 Mobile/15E148 Safari/604.1")', false],
    ['inApp("Mozilla/5.0 (Linux; Android 14) Chrome/120 Mobile Safari/537.36")', false],
  ];
  test('each helper answers as the page expects', async () => {
    for (const [expr, want] of cases) {
      assert.equal(await page.evaluate(expr), want, expr);
    }
  });
});

describe('the device strip', () => {
  test('the computer\'s label for this phone is shortened, split at the first dot and shown as text', async () => {
    const shown = await page.evaluate(() => {
      setDevice('android', 'Điện thoại Android · <b>Pixel</b> · 7');
      const a = [document.getElementById('meName').innerHTML, document.querySelector('#meIcon svg') !== null];
      setDevice('toaster', '');
      return [...a, document.getElementById('meName').innerHTML];
    });
    assert.deepEqual(shown, ['Android<br>&lt;b&gt;Pixel&lt;/b&gt; · 7', true, 'Máy này']);
  });
});
