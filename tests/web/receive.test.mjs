import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { eventually, useChromium, video, withPhone } from './harness.mjs';

const browser = useChromium();
const HOSTILE = '<img src=x onerror=alert(1)>.jpg';
const MARKUP = 'Mã <b>42</b> <img src=x onerror=alert(1)>\tđủ';

describe('receiving from the computer', () => {
  test('shared names and texts are shown as text, never as markup; texts come first with "Sao chép", and a link "Mở"', () => withPhone(browser(), {
    host: true, shared: { [HOSTILE]: 'not really a picture', [`it's "quoted" & <b>bold.txt`]: 'x' },
  }, async ({ skiff, page }) => {
    for (const text of [MARKUP, 'https://example.com/a?b=1']) await skiff.tell(`text ${text}`);
    await page.getByRole('tab', { name: '⬇ Nhận từ máy tính (4)' }).click();
    await page.getByText(HOSTILE, { exact: true }).first().waitFor();
    await page.getByText(`it's "quoted" & <b>bold.txt`, { exact: true }).first().waitFor();
    assert.equal(await page.getByRole('button', { name: `Xem ${HOSTILE}` }).count(), 1);
    assert.equal(await page.locator('#list img[src="x"], #list b:has-text("bold"), #list b:has-text("42")').count(), 0);
    const link = page.getByRole('link', { name: '⬇ Tải về' }).first();
    assert.ok([HOSTILE, `it's "quoted" & <b>bold.txt`].includes(await link.getAttribute('download')));

    const cards = page.locator('#list .txc');
    assert.deepEqual(await cards.locator('.tx-body').allTextContents(), ['https://example.com/a?b=1', MARKUP]);
    const open = cards.first().getByRole('link', { name: 'Mở' });
    assert.deepEqual([await open.getAttribute('href'), await open.getAttribute('target'), await open.getAttribute('rel')],
      ['https://example.com/a?b=1', '_blank', 'noopener']);
    assert.equal(await cards.nth(1).getByRole('link').count(), 0);
    // Where the browser refuses to copy, the text is left selected for its own Copy.
    await page.evaluate(() => { document.execCommand = () => false; });
    await cards.nth(1).getByRole('button', { name: 'Sao chép' }).click();
    assert.equal(await page.evaluate(() => getSelection().toString()), MARKUP);
    assert.deepEqual(page.dialogs, []);
  }));

  test('with nothing shared the tab explains how; it opens by itself once the computer shares, unless files wait to be sent', () => withPhone(browser(), { host: true }, async ({ skiff, page, file }) => {
    const [a, b, c] = ['a.txt', 'b.txt', 'c.txt'].map(n => file(n, n));
    const sendTab = page.getByRole('tab', { name: '⬆ Gửi lên máy tính' });
    const recvTab = page.getByRole('tab', { name: '⬇ Nhận từ máy tính', exact: true });
    await recvTab.click();
    await page.getByText('Máy tính chưa chia sẻ file nào').waitFor();
    await sendTab.click();

    // Files chosen for sending keep the user where they are; only the count changes.
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.getByRole('button', { name: 'Chọn tệp khác' }).click()]);
    await chooser.setFiles([c]);
    await skiff.tell(`share ${c}`);
    await page.getByRole('tab', { name: '⬇ Nhận từ máy tính (1)' }).waitFor();
    assert.equal(await sendTab.getAttribute('aria-selected'), 'true');

    await page.getByRole('button', { name: 'Bỏ' }).click();
    await skiff.tell('unshare');
    await recvTab.waitFor();
    assert.equal(await sendTab.getAttribute('aria-selected'), 'true');

    for (const f of [a, b]) await skiff.tell(`share ${f}`);
    await page.getByText('Máy tính đang chia sẻ 2 file').waitFor();
    assert.equal(await page.getByRole('tab', { name: '⬇ Nhận từ máy tính (2)' }).getAttribute('aria-selected'), 'true');
    assert.equal(await page.evaluate(() => sessionStorage.getItem('tab')), 'recv');
  }));

  test('tiles show thumbnails lazily, keep the emoji when a thumbnail fails, and give videos their length', () => withPhone(browser(), {
    shared: {
      'photo.jpg': folder => video(folder, 'photo.jpg', ['-frames:v', '1']),
      'broken.jpg': 'not a picture at all',
      'long.mp4': folder => video(folder, 'long.mp4', [], 'duration=75:size=32x32:rate=1'),
      'unknown.mp4': Buffer.alloc(2048),
    },
  }, async ({ page }) => {
    await page.getByRole('tab', { name: /Nhận từ máy tính \(4\)/ }).click();
    await page.getByText('Máy tính đang chia sẻ 4 file').waitFor();
    const tile = name => page.getByRole('button', { name: `Xem ${name}` });
    // The computer may take up to its decoder's deadline to draw a thumbnail on a busy machine.
    await eventually(async () => assert.ok(await tile('photo.jpg').locator('img').evaluate(i => i.complete && i.naturalWidth > 0)), 30000);
    assert.equal(await tile('photo.jpg').locator('img').getAttribute('loading'), 'lazy');
    await eventually(async () => assert.equal(await tile('broken.jpg').locator('img').count(), 0));
    assert.equal(await tile('broken.jpg').innerText().then(t => t.replace(/\s/g, '')), '🖼️JPG');
    await tile('long.mp4').getByText('1:15', { exact: true }).waitFor();
    assert.equal(await tile('long.mp4').getByText('▶').count(), 1);
    // A video whose length the computer cannot tell gets the play badge only.
    assert.equal(await tile('unknown.mp4').getByText('▶').count(), 1);
    assert.equal(await tile('unknown.mp4').getByText(/^\d+:\d\d$/).count(), 0);
  }));

  test('a text from the page is kept verbatim and printed on one line', () => withPhone(browser(), {}, async ({ skiff, page }) => {
    const from = skiff.output.length;
    const field = page.getByLabel('Gửi chữ, đường link hoặc mã');
    await field.fill(MARKUP + '\ndòng hai');
    await page.getByRole('button', { name: 'Gửi chữ lên máy tính' }).click();
    await page.getByText('✓ Đã gửi · máy tính lưu thành “Mã <b>42< b> <img src=x onerror=alert(1)>.txt”').waitFor();
    assert.equal(readFileSync(path.join(skiff.receiveDir, 'Mã <b>42< b> <img src=x onerror=alert(1)>.txt'), 'utf8'), MARKUP + '\ndòng hai');
    await skiff.waitFor(/Chữ từ [^\n]*: Mã <b>42<\/b> <img src=x onerror=alert\(1\)>\\x09đủ\\x0adòng hai\n/, { from });
    assert.equal(await field.inputValue(), '');
  }));
});
