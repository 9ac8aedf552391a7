import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { useChromium, withPhone } from './harness.mjs';

const browser = useChromium();
const HOSTILE = '<img src=x onerror=alert(1)>.jpg';
const MARKUP = 'Mã <b>42</b> <img src=x onerror=alert(1)>\tđủ';

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
  assert.deepEqual(await Promise.all(['href', 'target', 'rel'].map(a => open.getAttribute(a))), ['https://example.com/a?b=1', '_blank', 'noopener']);
  assert.equal(await cards.nth(1).getByRole('link').count(), 0);
  // Where the browser refuses to copy, the text is left selected for its own Copy.
  await page.evaluate(() => { document.execCommand = () => false; });
  await cards.nth(1).getByRole('button', { name: 'Sao chép' }).click();
  assert.equal(await page.evaluate(() => getSelection().toString()), MARKUP);
  assert.deepEqual(page.dialogs, []);
}));

