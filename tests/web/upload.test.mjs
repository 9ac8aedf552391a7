import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createHash, randomBytes } from 'node:crypto';
import { mkdirSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { Skiff, connectApproved, eventually, launchBrowser, openPage, tempDir } from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const sha256 = file => createHash('sha256').update(readFileSync(file)).digest('hex');

async function chooseFiles(page, files) {
  const [chooser] = await Promise.all([
    page.waitForEvent('filechooser'),
    page.getByRole('button', { name: 'Chọn tệp khác' }).click(),
  ]);
  await chooser.setFiles(files);
}

describe('sending files to the computer', () => {
  test('a second copy of a name is kept under a new one, and the page says which even when the batch succeeds; a just-picked video keeps the date it was taken', async () => {
    const skiff = await Skiff.start();
    const src = tempDir();
    try {
      const file = name => { const f = path.join(src, name); writeFileSync(f, name + randomBytes(8).toString('hex')); return f; };
      const [notes, other] = [file('ghi chú.txt'), file('other.txt')];
      // Written just now, as a phone dates a video picked from its library; taken years ago.
      const clip = path.join(src, 'IMG_0042.MOV');
      execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'testsrc=duration=1:size=32x32:rate=5',
        '-pix_fmt', 'yuv420p', '-metadata', 'creation_time=2021-05-06T07:08:09Z', clip]);
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      for (const batch of [[notes, clip], [notes, other]]) {
        if (batch.includes(other)) {
          await page.getByRole('button', { name: 'Gửi thêm' }).click();
          writeFileSync(notes, 'now with other text');
        }
        await chooseFiles(page, batch);
        await page.getByRole('button', { name: `Gửi ${batch.length} file` }).click();
        await page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 60000 });
      }
      assert.equal(statSync(path.join(skiff.receiveDir, 'IMG_0042.MOV')).mtime.toISOString(), '2021-05-06T07:08:09.000Z');
      const copies = readdirSync(skiff.receiveDir).filter(n => n.startsWith('ghi chú'));
      assert.equal(copies.length, 2, `files now: ${copies}`);
      const renamed = copies.find(n => n !== 'ghi chú.txt');
      assert.equal(readFileSync(path.join(skiff.receiveDir, renamed), 'utf8'), 'now with other text');
      await page.locator('#queue .tile').filter({ hasText: 'ghi chú.txt' }).getByText(`lưu thành ${renamed}`, { exact: false }).waitFor();
      assert.equal(page.dialogs.length, 0);
    } finally {
      await skiff.stop();
      rmSync(src, { recursive: true, force: true });
    }
  });

  test('a picked folder arrives as its tree, under a new top folder when its name is taken, and the terminal prints each place', async () => {
    const skiff = await Skiff.start();
    const src = tempDir();
    try {
      const top = path.join(src, 'Ảnh');
      mkdirSync(path.join(top, '2024', '12'), { recursive: true });
      writeFileSync(path.join(top, '2024', 'a.txt'), 'first');
      writeFileSync(path.join(top, '2024', '12', 'b.txt'), 'second');
      mkdirSync(path.join(skiff.receiveDir, 'Ảnh'), { recursive: true });
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      const [chooser] = await Promise.all([
        page.waitForEvent('filechooser'),
        page.getByRole('button', { name: 'Chọn cả thư mục' }).click(),
      ]);
      await chooser.setFiles(top);
      await page.getByRole('button', { name: 'Gửi 2 file' }).click();
      await page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 60000 });
      const copy = path.join(skiff.receiveDir, 'Ảnh (2)');
      assert.equal(readFileSync(path.join(copy, '2024', 'a.txt'), 'utf8'), 'first');
      assert.equal(readFileSync(path.join(copy, '2024', '12', 'b.txt'), 'utf8'), 'second');
      assert.deepEqual(readdirSync(path.join(skiff.receiveDir, 'Ảnh')), []);
      assert.deepEqual(readdirSync(skiff.receiveDir).sort(), ['Ảnh', 'Ảnh (2)']);
      await page.locator('#queue .tile').filter({ hasText: 'Ảnh/2024/12/b.txt' }).getByText('lưu vào Ảnh (2)', { exact: false }).waitFor();
      await skiff.waitFor(/Đã nhận "Ảnh \(2\)\/2024\/12\/b\.txt"/);
    } finally {
      await skiff.stop();
      rmSync(src, { recursive: true, force: true });
    }
  });

  test('stopping mid-file and sending again resumes where the computer stopped', async () => {
    const skiff = await Skiff.start();
    const src = tempDir();
    try {
      const big = path.join(src, 'large.bin');
      writeFileSync(big, randomBytes(16 * 1024 * 1024));
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      await chooseFiles(page, [big]);
      await page.setViewportSize({ width: 375, height: 300 });
      await page.getByRole('button', { name: 'Gửi 1 file' }).click();
      assert.equal(await page.evaluate(() => scrollY), 0, 'the progress must be in sight');

      const partSize = () => {
        const part = readdirSync(skiff.receiveDir).find(n => n.endsWith('.porter-part'));
        return part ? statSync(path.join(skiff.receiveDir, part)).size : 0;
      };
      await eventually(() => assert.ok(partSize() >= 4 * 1024 * 1024), 60000);
      // A frozen computer keeps the next request hanging, so the stop lands in the middle of the file.
      skiff.proc.kill('SIGSTOP');
      try {
        await page.getByRole('button', { name: 'Dừng' }).click();
        await page.getByText('Đã dừng.', { exact: false }).waitFor();
      } finally {
        skiff.proc.kill('SIGCONT');
      }
      const kept = partSize();
      // The stopped tile's bar shows what its percentage says.
      const [shown, bar] = await page.locator('#queue .tile').first().evaluate(t =>
        [parseInt(t.querySelector('.trow span:last-child').textContent), new DOMMatrix(getComputedStyle(t.querySelector('.bar i')).transform).a]);
      assert.ok(shown > 0 && Math.abs(bar * 100 - shown) < 1, `the tile says ${shown} % over a bar at ${bar}`);
      assert.ok(kept > 0 && kept < 16 * 1024 * 1024, `the computer kept ${kept} bytes`);
      const before = page.requests.length;
      await page.getByRole('button', { name: 'Gửi lại 1 file' }).click();
      await page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 120000 });
      const offsets = page.requests.slice(before).filter(u => u.includes('/api/up/chunk'))
        .map(u => Number(new URL(u).searchParams.get('offset')));
      assert.ok(offsets.length > 0 && Math.min(...offsets) >= kept - 4 * 1024 * 1024 && Math.min(...offsets) > 0,
        `resumed chunks started at ${offsets} although the computer kept ${kept} bytes`);
      assert.equal(sha256(path.join(skiff.receiveDir, 'large.bin')), sha256(big));
    } finally {
      await skiff.stop();
      rmSync(src, { recursive: true, force: true });
    }
  });

  test('a chunk stored but answered into a dropped connection is not sent twice: the page asks where to go on', async () => {
    const skiff = await Skiff.start();
    const src = tempDir();
    try {
      const file = path.join(src, 'three chunks.bin');
      writeFileSync(file, randomBytes(2 * 4194304 + 5));
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      // The second chunk reaches the computer, which stores it; its answer never reaches the phone.
      let stored = 0;
      const drop = async route => {
        if (stored || new URL(route.request().url()).searchParams.get('offset') !== '4194304') return route.continue();
        stored = (await route.fetch()).status();
        await route.abort('connectionreset');
        await page.unroute('**/api/up/chunk?*', drop);
      };
      await page.route('**/api/up/chunk?*', drop);
      await chooseFiles(page, [file]);
      await page.getByRole('button', { name: 'Gửi 1 file' }).click();
      await page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 60000 });
      assert.equal(stored, 200);
      assert.equal(sha256(path.join(skiff.receiveDir, 'three chunks.bin')), sha256(file));

      const calls = page.requests.filter(u => u.includes('/api/up/'))
        .map(u => new URL(u)).map(u => u.pathname.slice(8) + (u.searchParams.has('offset') ? ' ' + u.searchParams.get('offset') : ''));
      // The resend of the lost chunk is refused with the computer's offset; a new init continues after it.
      assert.deepEqual(calls, ['init', 'chunk 0', 'chunk 4194304', 'chunk 4194304', 'init', 'chunk 8388608', 'finish']);
    } finally {
      await skiff.stop();
      rmSync(src, { recursive: true, force: true });
    }
  });

  test('a digest the computer rejects makes exactly one whole-file resend; a second rejection fails the file', async () => {
    const skiff = await Skiff.start();
    const src = tempDir();
    try {
      const first = path.join(src, 'first.bin');
      writeFileSync(first, randomBytes(4194304 + 77));
      const second = path.join(src, 'second.txt');
      writeFileSync(second, 'short');
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      // Finishes come one after another: the first file's first, then its resend, then the second
      // file's two. Damaging the digest in transit on 1, 3 and 4 lets the computer reject those.
      let finishes = 0;
      await page.route('**/api/up/finish?*', async route => {
        finishes++;
        if (finishes === 2) return route.continue();
        const url = new URL(route.request().url());
        url.searchParams.set('sha256', '0'.repeat(64));
        await route.continue({ url: url.href });
      });
      await chooseFiles(page, [first, second]);
      await page.getByRole('button', { name: 'Gửi 2 file' }).click();
      await page.getByText('1 file chưa gửi được', { exact: false }).waitFor({ timeout: 60000 });

      const tile = name => page.locator('#queue .tile').filter({ hasText: name });
      assert.equal(finishes, 4);
      const inits = page.requests.filter(u => u.includes('/api/up/init')).map(u => new URL(u).searchParams.get('name'));
      assert.deepEqual(inits, ['first.bin', 'first.bin', 'second.txt', 'second.txt']);
      const offsets = page.requests.filter(u => u.includes('/api/up/chunk')).map(u => new URL(u).searchParams.get('offset'));
      assert.deepEqual(offsets, ['0', '4194304', '0', '4194304', '0', '0']);
      assert.equal(sha256(path.join(skiff.receiveDir, 'first.bin')), sha256(first));
      assert.deepEqual(readdirSync(skiff.receiveDir).filter(n => n.startsWith('second') || n.endsWith('.porter-part')), []);
      // Only the failed file stays chosen, ready to be sent again.
      await page.getByRole('button', { name: 'Gửi lại 1 file' }).waitFor();
      await tile('second.txt').getByText('✕ SHA-256 không khớp').waitFor();
    } finally {
      await skiff.stop();
      rmSync(src, { recursive: true, force: true });
    }
  });
});
