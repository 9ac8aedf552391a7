import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { Skiff, connectApproved, launchBrowser, openPage, tempDir } from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const HOSTILE = '<img src=x onerror=alert(1)>.jpg';

describe('receiving files from the computer', () => {
  test('shared names are shown as text, never as markup', async () => {
    const share = tempDir();
    writeFileSync(path.join(share, HOSTILE), 'not really a picture');
    writeFileSync(path.join(share, `it's "quoted" & <b>bold.txt`), 'x');
    const skiff = await Skiff.start([share]);
    try {
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      await page.getByRole('tab', { name: 'Nhận từ Mac (2)' }).click();
      await page.getByText(HOSTILE, { exact: true }).first().waitFor();
      await page.getByText(`it's "quoted" & <b>bold.txt`, { exact: true }).first().waitFor();
      assert.equal(await page.getByRole('button', { name: `Xem ${HOSTILE}` }).count(), 1);
      assert.equal(await page.locator('#list img[src="x"], #list b:has-text("bold")').count(), 0);
      const link = page.getByRole('link', { name: '⬇ Tải về' }).first();
      assert.ok(['<img src=x onerror=alert(1)>.jpg', `it's "quoted" & <b>bold.txt`].includes(await link.getAttribute('download')));
      assert.deepEqual(page.dialogs, []);
    } finally {
      await skiff.stop();
      rmSync(share, { recursive: true, force: true });
    }
  });

  test('a download arrives whole and the page shows what the computer reports as sent', async () => {
    const share = tempDir();
    const content = Buffer.alloc(3 * 1000 * 1000, 'skiff ');
    writeFileSync(path.join(share, 'notes.txt'), content);
    writeFileSync(path.join(share, 'second.txt'), 'two');
    const skiff = await Skiff.start([share]);
    try {
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      await page.getByRole('tab', { name: 'Nhận từ Mac (2)' }).click();
      await page.getByText('Mac đang chia sẻ 2 file').waitFor();
      await page.getByRole('link', { name: '🗜 Tải tất cả (.zip) · 3.00 MB' }).waitFor();
      await page.getByRole('button', { name: 'Tải lần lượt (2)' }).waitFor();

      const tile = page.locator('.tile').filter({ hasText: 'notes.txt' });
      const [download] = await Promise.all([
        page.waitForEvent('download'),
        tile.getByRole('link', { name: '⬇ Tải về' }).click(),
      ]);
      assert.equal(download.suggestedFilename(), 'notes.txt');
      assert.ok(readFileSync(await download.path()).equals(content));
      await tile.getByRole('link', { name: '✓ Đã lưu' }).waitFor();
      await page.getByRole('link', { name: /^Đang tải 1\/2 · \d+%$/ }).waitFor();

      const [zip] = await Promise.all([
        page.waitForEvent('download'),
        page.getByRole('link', { name: /^Đang tải 1\/2/ }).click(),
      ]);
      const bytes = readFileSync(await zip.path());
      assert.equal(bytes.readUInt32LE(0), 0x04034b50, 'an archive starts with a local file header');
      await page.getByRole('link', { name: '✓ Đã lưu cả 2 file' }).waitFor();
      await page.getByText('Đã lưu xong · Mac đã thấy tích xanh').waitFor();
    } finally {
      await skiff.stop();
      rmSync(share, { recursive: true, force: true });
    }
  });

  test('a video opens in the player, and Back or "Đóng" closes it without leaving the page', async () => {
    const share = tempDir();
    writeFileSync(path.join(share, 'clip.mp4'), Buffer.alloc(4096));
    const skiff = await Skiff.start([share]);
    try {
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      await page.getByRole('tab', { name: 'Nhận từ Mac (1)' }).click();
      assert.equal(await page.getByRole('button', { name: /^Tải lần lượt/ }).count(), 0, 'one file needs no sequence');
      for (const close of [() => page.goBack(), () => page.getByRole('button', { name: 'Đóng' }).click()]) {
        await page.getByRole('button', { name: 'Xem clip.mp4' }).click();
        const player = page.getByRole('dialog');
        await player.getByText('clip.mp4').waitFor();
        await close();
        await player.waitFor({ state: 'hidden' });
        await page.getByText('Mac đang chia sẻ 1 file').waitFor();
        assert.equal(new URL(page.url()).pathname, '/');
      }
    } finally {
      await skiff.stop();
      rmSync(share, { recursive: true, force: true });
    }
  });

  test('with nothing shared the tab explains how to share and has no count', async () => {
    const skiff = await Skiff.start();
    try {
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      await page.getByRole('tab', { name: '⬇ Nhận từ Mac', exact: true }).click();
      await page.getByText('Mac chưa chia sẻ file nào').waitFor();
    } finally {
      await skiff.stop();
    }
  });
});
