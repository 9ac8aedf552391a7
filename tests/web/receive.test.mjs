import { test } from 'node:test';
import assert from 'node:assert/strict';
import { eventually, useChromium, video, withPhone } from './harness.mjs';

const browser = useChromium();
const HOSTILE = '<img src=x onerror=alert(1)>.jpg';
const QUOTED = `it's "quoted" & <b>bold.txt`;
const MARKUP = 'Mã <b>42</b> <img src=x onerror=alert(1)>\tđủ';

test('shared names and texts are shown as text, never as markup; texts come first with "Sao chép", and a link "Mở"', () => withPhone(browser(), {
  host: true, shared: { [HOSTILE]: 'not really a picture', [QUOTED]: 'x' },
}, async ({ skiff, page }) => {
  for (const text of [MARKUP, 'https://example.com/a?b=1']) await skiff.tell(`text ${text}`);
  await page.getByRole('tab', { name: '⬇ Nhận từ máy tính (4)' }).click();
  for (const name of [HOSTILE, QUOTED]) await page.getByText(name, { exact: true }).first().waitFor();
  assert.equal(await page.getByRole('button', { name: `Xem ${HOSTILE}` }).count(), 1);
  assert.equal(await page.locator('#list img[src="x"], #list b:has-text("bold"), #list b:has-text("42")').count(), 0);
  assert.ok([HOSTILE, QUOTED].includes(await page.getByRole('link', { name: '⬇ Tải về' }).first().getAttribute('download')));

  const cards = page.locator('#list .txc');
  assert.deepEqual(await cards.locator('.tx-body').allTextContents(), ['https://example.com/a?b=1', MARKUP]);
  const open = cards.first().getByRole('link', { name: 'Mở' });
  assert.deepEqual(await Promise.all(['href', 'target', 'rel'].map(a => open.getAttribute(a))), ['https://example.com/a?b=1', '_blank', 'noopener']);
  assert.equal(await cards.nth(1).getByRole('link').count(), 0);
  // Where the browser refuses to copy, the text is left selected for its own Copy.
  await page.evaluate(() => { document.execCommand = () => false; });
  await cards.nth(1).getByRole('button', { name: 'Sao chép' }).click();
  assert.equal(await page.evaluate(() => getSelection().toString()), MARKUP);
  assert.deepEqual(page.dialogs, []);
}));


test('tiles show thumbnails lazily, keep the emoji when a thumbnail fails, and give videos their length', () => withPhone(browser(), {
  shared: { 'photo.jpg': folder => video(folder, 'photo.jpg', ['-frames:v', '1']), 'broken.jpg': 'not a picture at all',
    'long.mp4': folder => video(folder, 'long.mp4', [], 'duration=75:size=32x32:rate=1'), 'unknown.mp4': Buffer.alloc(2048) },
}, async ({ page }) => {
  await page.getByRole('tab', { name: /Nhận từ máy tính \(4\)/ }).click();
  const tile = name => page.getByRole('button', { name: `Xem ${name}` });
  // The computer may take up to its decoder's deadline to draw a thumbnail on a busy machine.
  await eventually(async () => assert.ok(await tile('photo.jpg').locator('img').evaluate(i => i.complete && i.naturalWidth > 0)), 30000);
  assert.equal(await tile('photo.jpg').locator('img').getAttribute('loading'), 'lazy');
  await eventually(async () => assert.equal(await tile('broken.jpg').locator('img').count(), 0));
  assert.equal(await tile('broken.jpg').innerText().then(t => t.replace(/\s/g, '')), '🖼️JPG');
  await tile('long.mp4').getByText('1:15', { exact: true }).waitFor();
  assert.deepEqual([await tile('unknown.mp4').getByText('▶').count(), await tile('unknown.mp4').getByText(/^\d+:\d\d$/).count()], [1, 0]);
}));
