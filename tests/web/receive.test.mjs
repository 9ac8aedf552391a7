import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { Skiff, connectApproved, eventually, launchBrowser, openPage, tempDir } from './harness.mjs';

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
      await page.getByRole('tab', { name: 'Nhận từ máy tính (2)' }).click();
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

  test('a video opens in the player, and Back or "Đóng" closes it without leaving the page', async () => {
    const share = tempDir();
    writeFileSync(path.join(share, 'clip.mp4'), Buffer.alloc(4096));
    const skiff = await Skiff.start([share]);
    try {
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      await page.getByRole('tab', { name: 'Nhận từ máy tính (1)' }).click();
      assert.equal(await page.getByRole('button', { name: /^Tải lần lượt/ }).count(), 0, 'one file needs no sequence');
      for (const close of [() => page.goBack(), () => page.getByRole('button', { name: 'Đóng' }).click()]) {
        await page.getByRole('button', { name: 'Xem clip.mp4' }).click();
        const player = page.getByRole('dialog');
        await player.getByText('clip.mp4').waitFor();
        await close();
        await player.waitFor({ state: 'hidden' });
        await page.getByText('Máy tính đang chia sẻ 1 file').waitFor();
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
      await page.getByRole('tab', { name: '⬇ Nhận từ máy tính', exact: true }).click();
      await page.getByText('Máy tính chưa chia sẻ file nào').waitFor();
    } finally {
      await skiff.stop();
    }
  });

  test('the receive tab opens by itself once the computer starts sharing, unless files wait to be sent', async () => {
    const share = tempDir();
    for (const n of ['a.txt', 'b.txt', 'c.txt']) writeFileSync(path.join(share, n), n);
    const skiff = await Skiff.start([], { host: true });
    try {
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      const sendTab = page.getByRole('tab', { name: '⬆ Gửi lên máy tính' });
      assert.equal(await page.getByRole('tab', { name: '⬇ Nhận từ máy tính', exact: true }).count(), 1, 'no count while nothing is shared');

      // Files chosen for sending keep the user where they are; only the count changes.
      const [chooser] = await Promise.all([
        page.waitForEvent('filechooser'),
        page.getByRole('button', { name: 'Chọn tệp khác' }).click(),
      ]);
      await chooser.setFiles([path.join(share, 'c.txt')]);
      await skiff.share(path.join(share, 'c.txt'));
      await page.getByRole('tab', { name: '⬇ Nhận từ máy tính (1)' }).waitFor();
      assert.equal(await sendTab.getAttribute('aria-selected'), 'true');

      await page.getByRole('button', { name: 'Bỏ' }).click();
      await skiff.unshare();
      await page.getByRole('tab', { name: '⬇ Nhận từ máy tính', exact: true }).waitFor();
      assert.equal(await sendTab.getAttribute('aria-selected'), 'true');

      await skiff.share(path.join(share, 'a.txt'));
      await skiff.share(path.join(share, 'b.txt'));
      await page.getByText('Máy tính đang chia sẻ 2 file').waitFor();
      assert.equal(await page.getByRole('tab', { name: '⬇ Nhận từ máy tính (2)' }).getAttribute('aria-selected'), 'true');
      assert.equal(await page.evaluate(() => sessionStorage.getItem('tab')), 'recv');
    } finally {
      await skiff.stop();
      rmSync(share, { recursive: true, force: true });
    }
  });

  test('tiles show thumbnails lazily, keep the emoji when a thumbnail fails, and give videos their length', async () => {
    const share = tempDir();
    const page = await openPage(browser);
    // Any real JPEG will do: the browser makes one of its own empty page.
    writeFileSync(path.join(share, 'photo.jpg'), await page.screenshot({ type: 'jpeg' }));
    writeFileSync(path.join(share, 'broken.jpg'), 'not a picture at all');
    execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'testsrc=duration=75:size=32x32:rate=1',
      '-pix_fmt', 'yuv420p', path.join(share, 'long.mp4')]);
    writeFileSync(path.join(share, 'unknown.mp4'), Buffer.alloc(2048));
    const skiff = await Skiff.start([share]);
    try {
      await connectApproved(skiff, page);
      await page.getByRole('tab', { name: /Nhận từ máy tính \(4\)/ }).click();
      await page.getByText('Máy tính đang chia sẻ 4 file').waitFor();
      const tile = name => page.getByRole('button', { name: `Xem ${name}` });

      await eventually(async () => assert.ok(await tile('photo.jpg').locator('img').evaluate(i => i.complete && i.naturalWidth > 0)));
      assert.equal(await tile('photo.jpg').locator('img').getAttribute('loading'), 'lazy');
      await eventually(async () => assert.equal(await tile('broken.jpg').locator('img').count(), 0));
      assert.equal(await tile('broken.jpg').innerText().then(t => t.replace(/\s/g, '')), '🖼️JPG');

      await tile('long.mp4').getByText('1:15', { exact: true }).waitFor();
      assert.equal(await tile('long.mp4').getByText('▶').count(), 1);
      // A video whose length the computer cannot tell gets the play badge only.
      assert.equal(await tile('unknown.mp4').getByText('▶').count(), 1);
      assert.equal(await tile('unknown.mp4').getByText(/^\d+:\d\d$/).count(), 0);
    } finally {
      await skiff.stop();
      rmSync(share, { recursive: true, force: true });
    }
  });
});
