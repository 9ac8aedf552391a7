import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, rmSync, writeFileSync } from 'node:fs';
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

describe('texts both ways', () => {
  const MARKUP = 'Mã <b>42</b> <img src=x onerror=alert(1)>\tđủ';

  test('a text from the page is kept verbatim and printed on one line', async () => {
    const skiff = await Skiff.start();
    try {
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      const from = skiff.output.length;
      await page.getByLabel('Gửi chữ, đường link hoặc mã').fill(MARKUP + '\ndòng hai');
      await page.getByRole('button', { name: 'Gửi chữ lên máy tính' }).click();
      await page.getByText('✓ Đã gửi · máy tính lưu thành “Mã <b>42< b> <img src=x onerror=alert(1)>.txt”').waitFor();
      assert.equal(readFileSync(path.join(skiff.receiveDir, 'Mã <b>42< b> <img src=x onerror=alert(1)>.txt'), 'utf8'), MARKUP + '\ndòng hai');
      await skiff.waitFor(/Chữ từ [^\n]*: Mã <b>42<\/b> <img src=x onerror=alert\(1\)>\\x09đủ\\x0adòng hai\n/, { from });
      assert.equal(await page.getByLabel('Gửi chữ, đường link hoặc mã').inputValue(), '');
    } finally {
      await skiff.stop();
    }
  });

  test('texts the computer shares come first, as text, with "Sao chép" and for a link "Mở"', async () => {
    const skiff = await Skiff.start([], { host: true });
    try {
      const page = await openPage(browser);
      await connectApproved(skiff, page);
      for (const text of [MARKUP, 'https://example.com/a?b=1']) {
        const from = skiff.output.length;
        skiff.proc.stdin.write(`text ${text}\n`);
        await skiff.waitFor(/Đang chia sẻ \d+ đoạn chữ/, { from });
      }
      await page.getByRole('tab', { name: '⬇ Nhận từ máy tính (2)' }).waitFor();
      const cards = page.locator('#list .txc');
      assert.deepEqual(await cards.locator('.tx-body').allTextContents(), ['https://example.com/a?b=1', MARKUP]);
      assert.equal(await page.locator('#list b, #list img').count(), 0);
      const open = cards.first().getByRole('link', { name: 'Mở' });
      assert.deepEqual([await open.getAttribute('href'), await open.getAttribute('target'), await open.getAttribute('rel')],
        ['https://example.com/a?b=1', '_blank', 'noopener']);
      assert.equal(await cards.nth(1).getByRole('link').count(), 0);
      // Where the browser refuses to copy, the text is left selected for its own Copy.
      await page.evaluate(() => { document.execCommand = () => false; });
      await cards.nth(1).getByRole('button', { name: 'Sao chép' }).click();
      assert.equal(await page.evaluate(() => getSelection().toString()), MARKUP);
      assert.deepEqual(page.dialogs, []);
    } finally {
      await skiff.stop();
    }
  });
});
