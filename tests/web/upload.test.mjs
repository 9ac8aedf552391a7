import { test } from 'node:test';
import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { mkdirSync, readFileSync, readdirSync, statSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { MIB, eventually, partSize, sha256, uploadCalls, useChromium, video, withPhone } from './harness.mjs';

const browser = useChromium();

async function choose(page, button, files) {
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.getByRole('button', { name: button }).click()]);
  await chooser.setFiles(files);
}

const send = (page, files) => choose(page, 'Chọn tệp khác', files)
  .then(() => page.getByRole('button', { name: `Gửi ${files.length} file` }).click());

const sent = page => page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 120000 });
const tile = (page, name) => page.locator('#queue .tile').filter({ hasText: name });

test('a second copy of a name is kept under a new one, and the page says which even when the batch succeeds; a just-picked video keeps the date it was taken', () => withPhone(browser(), {}, async ({ skiff, page, dir, file }) => {
  const notes = file('ghi chú.txt', 'first words');
  const other = file('other.txt', randomBytes(8));
  // Written just now, as a phone dates a video picked from its library; taken years ago.
  video(dir, 'IMG_0042.MOV', ['-metadata', 'creation_time=2021-05-06T07:08:09Z'], 'duration=1:size=32x32:rate=5');
  await send(page, [notes, path.join(dir, 'IMG_0042.MOV')]);
  await sent(page);
  await page.getByRole('button', { name: 'Gửi thêm' }).click();
  writeFileSync(notes, 'now with other text');
  await send(page, [notes, other]);
  await sent(page);
  assert.equal(statSync(path.join(skiff.receiveDir, 'IMG_0042.MOV')).mtime.toISOString(), '2021-05-06T07:08:09.000Z');
  const renamed = readdirSync(skiff.receiveDir).filter(n => n.startsWith('ghi chú') && n !== 'ghi chú.txt');
  assert.deepEqual([renamed.length, ...[renamed[0], 'ghi chú.txt'].map(n => readFileSync(path.join(skiff.receiveDir, n), 'utf8'))],
    [1, 'now with other text', 'first words']);
  await tile(page, 'ghi chú.txt').getByText(`lưu thành ${renamed[0]}`, { exact: false }).waitFor();
}));

test('a picked folder arrives as its tree, under a new top folder when its name is taken, and the terminal prints each place', () => withPhone(browser(), {}, async ({ skiff, page, dir, file }) => {
  file('Ảnh/2024/a.txt', 'first'), file('Ảnh/2024/12/b.txt', 'second');
  const taken = path.join(skiff.receiveDir, 'Ảnh');
  mkdirSync(taken, { recursive: true });
  await choose(page, 'Chọn cả thư mục', path.join(dir, 'Ảnh'));
  await page.getByRole('button', { name: 'Gửi 2 file' }).click();
  await sent(page);
  const copy = path.join(skiff.receiveDir, 'Ảnh (2)', '2024');
  assert.deepEqual([readFileSync(path.join(copy, 'a.txt'), 'utf8'), readFileSync(path.join(copy, '12', 'b.txt'), 'utf8')], ['first', 'second']);
  assert.deepEqual(readdirSync(taken), []);
  assert.deepEqual(readdirSync(skiff.receiveDir).sort(), ['Ảnh', 'Ảnh (2)']);
  await tile(page, 'Ảnh/2024/12/b.txt').getByText('lưu vào Ảnh (2)', { exact: false }).waitFor();
  await skiff.waitFor(/Đã nhận "Ảnh \(2\)\/2024\/12\/b\.txt"/);
}));

test('stopping mid-file and sending again resumes where the computer stopped', () => withPhone(browser(), {}, async ({ skiff, page, file }) => {
  const big = file('large.bin', randomBytes(16 * MIB));
  await choose(page, 'Chọn tệp khác', [big]);
  await page.setViewportSize({ width: 375, height: 300 });
  await page.getByRole('button', { name: 'Gửi 1 file' }).click();
  assert.equal(await page.evaluate(() => scrollY), 0, 'the progress must be in sight');
  await eventually(() => assert.ok(partSize(skiff) >= 4 * MIB), 60000);
  // A frozen computer keeps the next request hanging, so the stop lands in the middle of the file.
  skiff.proc.kill('SIGSTOP');
  try {
    await page.getByRole('button', { name: 'Dừng' }).click();
    await page.getByText('Đã dừng.', { exact: false }).waitFor();
  } finally {
    skiff.proc.kill('SIGCONT');
  }
  const kept = partSize(skiff);
  // The stopped tile's bar shows what its percentage says.
  const [shown, bar] = await page.locator('#queue .tile').first().evaluate(t =>
    [parseInt(t.querySelector('.trow span:last-child').textContent), new DOMMatrix(getComputedStyle(t.querySelector('.bar i')).transform).a]);
  assert.ok(shown > 0 && Math.abs(bar * 100 - shown) < 1, `the tile says ${shown} % over a bar at ${bar}`);
  assert.ok(kept > 0 && kept < 16 * MIB, `the computer kept ${kept} bytes`);
  const before = page.requests.length;
  await page.getByRole('button', { name: 'Gửi lại 1 file' }).click();
  await sent(page);
  const first = Math.min(...uploadCalls(page.requests.slice(before)).filter(c => c.startsWith('chunk')).map(c => Number(c.slice(6))));
  assert.ok(first > 0 && first < 16 * MIB && first >= kept - 4 * MIB, `resumed at ${first} although the computer kept ${kept} bytes`);
  assert.equal(sha256(path.join(skiff.receiveDir, 'large.bin')), sha256(big));
}));

test('a chunk stored but answered into a dropped connection is not sent twice: the page asks where to go on, past a busy answer', () => withPhone(browser(), {}, async ({ skiff, page, file }) => {
  const three = file('three chunks.bin', randomBytes(2 * 4 * MIB + 5));
  // The second chunk reaches the computer, which stores it; its answer never reaches the phone.
  let stored = 0;
  const drop = async route => {
    if (stored || new URL(route.request().url()).searchParams.get('offset') !== String(4 * MIB)) return route.continue();
    stored = (await route.fetch()).status();
    await route.abort('connectionreset');
    await page.unroute('**/api/up/chunk?*', drop);
  };
  await page.route('**/api/up/chunk?*', drop);
  // The next init finds the upload busy (the computer has not yet seen the cut): the page asks again.
  let inits = 0;
  await page.route('**/api/up/init?*', route => (++inits === 2
    ? route.fulfill({ status: 409, contentType: 'application/json', body: '{"error":"busy","received":4194304}' })
    : route.continue()));
  await send(page, [three]);
  await sent(page);
  assert.equal(stored, 200);
  assert.equal(sha256(path.join(skiff.receiveDir, 'three chunks.bin')), sha256(three));
  // The resend of the lost chunk is refused with the computer's offset; a new init continues after it.
  assert.deepEqual(uploadCalls(page.requests), ['init', 'chunk 0', 'chunk 4194304', 'chunk 4194304', 'init', 'init', 'chunk 8388608', 'finish']);
}));

test('a digest the computer rejects makes exactly one whole-file resend; a second rejection fails the file', () => withPhone(browser(), {}, async ({ skiff, page, file }) => {
  const first = file('first.bin', randomBytes(4 * MIB + 77));
  const second = file('second.txt', 'short');
  // Finishes 1, 3 and 4 (the first file, the second file and its resend) carry a damaged digest.
  let finishes = 0;
  await page.route('**/api/up/finish?*', async route => {
    if (++finishes === 2) return route.continue();
    const url = new URL(route.request().url());
    url.searchParams.set('sha256', '0'.repeat(64));
    await route.continue({ url: url.href });
  });
  await send(page, [first, second]);
  await page.getByText('1 file chưa gửi được', { exact: false }).waitFor({ timeout: 60000 });
  assert.equal(finishes, 4);
  assert.deepEqual(uploadCalls(page.requests).filter(c => c !== 'finish'),
    ['init', 'chunk 0', 'chunk 4194304', 'init', 'chunk 0', 'chunk 4194304', 'init', 'chunk 0', 'init', 'chunk 0']);
  assert.equal(sha256(path.join(skiff.receiveDir, 'first.bin')), sha256(first));
  assert.deepEqual(readdirSync(skiff.receiveDir).filter(n => n.startsWith('second') || n.endsWith('.porter-part')), []);
  // Only the failed file stays chosen, ready to be sent again.
  await page.getByRole('button', { name: 'Gửi lại 1 file' }).waitFor();
  await tile(page, 'second.txt').getByText('✕ SHA-256 không khớp').waitFor();
}));
