import { test } from 'node:test';
import assert from 'node:assert/strict';
import { useChromium, withPhone } from './harness.mjs';

const browser = useChromium();
const wrongCode = skiff => (skiff.code === '000000' ? '111111' : '000000');
const kept = page => page.evaluate(() => sessionStorage.getItem('pin'));
const seen = (page, text) => page.getByText(text, { exact: false }).waitFor();
const ASK = 'Nhập mã trên máy tính';

test('a denied phone is told so and keeps its code', () => withPhone(browser(), { approve: false }, async ({ skiff, page }) => {
  await page.goto(`${skiff.base}/?t=${skiff.code}`);
  await skiff.pairingCode();
  skiff.answer('k');
  for (const again of [false, true]) await Promise.resolve(again && page.reload()).then(() => seen(page, 'Máy tính đã từ chối thiết bị này.'));
  assert.equal(await kept(page), skiff.code);
}));

test('a wrong code is reported and forgotten, a five-digit one asks without an error; a typed code is checked and trimmed', () => withPhone(browser(), { approve: false }, async ({ skiff, page }) => {
  await page.goto(`${skiff.base}/?t=${wrongCode(skiff)}`);
  await seen(page, 'Mã không đúng hoặc máy tính đã đổi mã. Xem lại mã trên máy tính.');
  assert.equal(await kept(page), null);

  const before = page.requests.length;
  await page.goto(`${skiff.base}/?t=12345`);
  await page.getByRole('heading', { name: ASK }).waitFor();
  await seen(page, 'Cần mã xác nhận');
  assert.equal(await page.getByRole('alert').isVisible(), false, 'no message without a reason');
  assert.ok(!page.requests.slice(before).some(u => u.includes('/api/')), 'no request should carry an invalid code');

  const input = page.getByPlaceholder('••••••');
  await input.fill(skiff.code.slice(0, 3) + ' ' + skiff.code.slice(3, 5));
  await page.getByRole('button', { name: 'Kết nối' }).click();
  await seen(page, 'Mã gồm đúng 6 chữ số.');
  // A code pasted from a message keeps all six digits; autofill can bring blanks around it.
  await input.fill(skiff.code.slice(0, 3) + ' - ' + skiff.code.slice(3));
  assert.equal(await input.inputValue(), skiff.code);
  await input.evaluate((el, v) => { el.value = v; }, ' ' + skiff.code + ' ');
  await input.press('Enter');
  await page.getByRole('heading', { name: 'Chờ máy tính cho phép' }).waitFor();
  assert.equal(await kept(page), skiff.code);
}));

// The lock itself is the server's rule (its suite counts the guesses); the page must say so.
test('a phone locked out by wrong codes is told how to start again, even with the right code', () => withPhone(browser(), { approve: false }, async ({ skiff, page }) => {
  await page.goto(`${skiff.base}/`);
  const statuses = await page.evaluate(async (wrong, seen = []) => {
    for (let i = 0; i < 11; i++) seen.push((await fetch(`/api/files?t=${wrong}`)).status);
    return seen;
  }, wrongCode(skiff));
  assert.equal(statuses.at(-1), 429, `answers: ${statuses}`);
  await page.getByPlaceholder('••••••').fill(skiff.code);
  await page.getByRole('button', { name: 'Kết nối' }).click();
  await seen(page, 'Nhập sai quá nhiều lần nên máy tính tạm khoá. Trên máy tính bấm “Đổi mã” rồi quét lại mã QR.');
  await seen(page, 'Cần mã xác nhận');
  assert.ok(await page.getByRole('heading', { name: ASK }).isVisible());
}));

// In-app browsers (here a messaging app's on iOS) cannot keep a long upload going.
test('the page offers its address with the code, to open in Safari or Chrome', () => withPhone(browser(), {
  context: { userAgent: 'Mozilla/5.0 (iPhone; CPU iPhone OS 17_0 like Mac OS X) Mobile/15E148 Zalo iOS' },
}, async ({ skiff, page }) => {
  await seen(page, 'Mở trong Safari hoặc Chrome');
  assert.equal(await page.getByLabel('Địa chỉ trang').inputValue(), `${skiff.base}/?t=${skiff.code}`);
  await page.getByRole('button', { name: 'Chép' }).click();
  await page.getByRole('button', { name: 'Đã chép' }).waitFor();
}));
