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
  test('a multi-chunk file and an empty file arrive whole, with their dates, and a second copy is renamed', async () => {
    const skiff = await Skiff.start();
    const src = tempDir();
    try {
      const big = path.join(src, 'video clip.bin');
      writeFileSync(big, randomBytes(9 * 1024 * 1024 + 123));
      const when = new Date('2024-03-05T06:07:08Z');
      utimesSync(big, when, when);
      const empty = path.join(src, 'empty.txt');
      writeFileSync(empty, '');

      const page = await openPage(browser);
      await connectApproved(skiff, page);
      await chooseFiles(page, [big, empty]);
      await page.getByText('2 file đã chọn').waitFor();
      await page.getByRole('button', { name: 'Gửi 2 file' }).click();
      await page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 120000 });
      await page.getByText('khớp 100%').waitFor();
      assert.equal(await page.getByText('✓ Đã lưu').count(), 2);

      const stored = path.join(skiff.receiveDir, 'video clip.bin');
      assert.equal(sha256(stored), sha256(big));
      assert.equal(statSync(stored).mtime.getTime(), when.getTime());
      assert.equal(statSync(path.join(skiff.receiveDir, 'empty.txt')).size, 0);

      // The same name again: the computer keeps both, and the page tells which name it used.
      await page.getByRole('button', { name: 'Gửi thêm' }).click();
      writeFileSync(empty, 'now with text');
      await chooseFiles(page, [empty]);
      await page.getByRole('button', { name: 'Gửi 1 file' }).click();
      await page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 60000 });
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
      writeFileSync(big, randomBytes(96 * 1024 * 1024));
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
      assert.ok(kept > 0 && kept < 96 * 1024 * 1024);
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
});
