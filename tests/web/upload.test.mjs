import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash, randomBytes } from 'node:crypto';
import { readFileSync, readdirSync, rmSync, statSync, utimesSync, writeFileSync } from 'node:fs';
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
  test('a batch of a multi-chunk, an empty and a small file arrives whole with its dates; a second copy is renamed', async () => {
    const skiff = await Skiff.start();
    const src = tempDir();
    try {
      const files = [
        ['video clip.bin', randomBytes(4 * 1024 * 1024 + 123), '2024-03-05T06:07:08Z'],
        ['empty.txt', Buffer.alloc(0), '2023-01-02T03:04:05Z'],
        ['ghi chú.txt', Buffer.from('xin chào'), '2022-12-31T23:59:59Z'],
      ].map(([name, bytes, when]) => {
        const file = path.join(src, name);
        writeFileSync(file, bytes);
        utimesSync(file, new Date(when), new Date(when));
        return { name, file, when: new Date(when).getTime() };
      });

      const page = await openPage(browser);
      await connectApproved(skiff, page);
      await chooseFiles(page, files.map(f => f.file));
      await page.getByText('3 file đã chọn').waitFor();
      await page.getByRole('button', { name: 'Gửi 3 file' }).click();
      await page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 120000 });
      await page.getByText('khớp 100%').waitFor();
      assert.equal(await page.getByText('✓ Đã lưu').count(), 3);

      for (const f of files) {
        const stored = path.join(skiff.receiveDir, f.name);
        assert.equal(sha256(stored), sha256(f.file), f.name);
        assert.equal(statSync(stored).mtime.getTime(), f.when, f.name);
      }
      // An empty file needs no chunk at all: init and finish only.
      const chunks = page.requests.filter(u => u.includes('/api/up/chunk'));
      assert.deepEqual(chunks.map(u => new URL(u).searchParams.get('offset')), ['0', '4194304', '0']);

      // The same name again: the computer keeps both, and the page tells which name it used.
      await page.getByRole('button', { name: 'Gửi thêm' }).click();
      await page.getByRole('button', { name: 'Chọn ảnh, video' }).waitFor();
      writeFileSync(files[1].file, 'now with text');
      await chooseFiles(page, [files[1].file]);
      await page.getByRole('button', { name: 'Gửi 1 file' }).click();
      await page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 60000 });
      assert.equal(readFileSync(path.join(skiff.receiveDir, 'empty.txt'), 'utf8'), '');
      const copies = readdirSync(skiff.receiveDir).filter(n => n !== 'empty.txt' && n.startsWith('empty'));
      assert.equal(copies.length, 1, `files now: ${readdirSync(skiff.receiveDir)}`);
      assert.equal(readFileSync(path.join(skiff.receiveDir, copies[0]), 'utf8'), 'now with text');
      assert.equal(page.dialogs.length, 0);
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
      await page.getByRole('button', { name: 'Gửi 1 file' }).click();

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
