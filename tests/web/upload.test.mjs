import { test } from 'node:test';
import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { mkdirSync, readFileSync, readdirSync, statSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { MIB, eventually, partSize, sha256, uploadCalls, useChromium, video, withPhone } from './harness.mjs';

const browser = useChromium();

const choose = (page, button, files) => Promise.all([page.waitForEvent('filechooser'), page.getByRole('button', { name: button }).click()])
  .then(([chooser]) => chooser.setFiles(files));
const click = (page, button) => page.getByRole('button', { name: button }).click();
const send = (page, files) => choose(page, 'Chọn tệp khác', files).then(() => click(page, `Gửi ${files.length} file`));
const sent = page => page.getByRole('heading', { name: 'Đã gửi xong' }).waitFor({ timeout: 120000 });
const note = (page, name, text) => page.locator('#queue .tile').filter({ hasText: name }).getByText(text, { exact: false }).waitFor();
const stored = (skiff, ...names) => path.join(skiff.receiveDir, ...names);

test('a second copy of a name is kept under a new one, and the page says which even when the batch succeeds; a just-picked video keeps the date it was taken', () => withPhone(browser(), {}, async ({ skiff, page, dir, file }) => {
  const notes = file('ghi chú.txt', 'first words');
  // Written just now, as a phone dates a video picked from its library; taken years ago.
  video(dir, 'IMG_0042.MOV', ['-metadata', 'creation_time=2021-05-06T07:08:09Z'], 'duration=1:size=32x32:rate=5');
  await send(page, [notes, path.join(dir, 'IMG_0042.MOV')]);
  await sent(page);
  await click(page, 'Gửi thêm');
  writeFileSync(notes, 'now with other text');
  await send(page, [notes, file('other.txt', randomBytes(8))]);
  await sent(page);
  assert.equal(statSync(stored(skiff, 'IMG_0042.MOV')).mtime.toISOString(), '2021-05-06T07:08:09.000Z');
  const renamed = readdirSync(skiff.receiveDir).filter(n => n.startsWith('ghi chú') && n !== 'ghi chú.txt');
  assert.deepEqual([renamed.length, ...[renamed[0], 'ghi chú.txt'].map(n => readFileSync(stored(skiff, n), 'utf8'))], [1, 'now with other text', 'first words']);
  await note(page, 'ghi chú.txt', `lưu thành ${renamed[0]}`);
}));

test('a picked folder arrives as its tree, under a new top folder when its name is taken, and the terminal prints each place', () => withPhone(browser(), {}, async ({ skiff, page, dir, file }) => {
  file('Ảnh/2024/a.txt', 'first'), file('Ảnh/2024/12/b.txt', 'second');
  mkdirSync(stored(skiff, 'Ảnh'), { recursive: true });
  await choose(page, 'Chọn cả thư mục', path.join(dir, 'Ảnh'));
  await click(page, 'Gửi 2 file');
  await sent(page);
  assert.deepEqual([['2024', 'a.txt'], ['2024', '12', 'b.txt']].map(p => readFileSync(stored(skiff, 'Ảnh (2)', ...p), 'utf8')), ['first', 'second']);
  assert.deepEqual([readdirSync(stored(skiff, 'Ảnh')), readdirSync(skiff.receiveDir).sort()], [[], ['Ảnh', 'Ảnh (2)']]);
  await note(page, 'Ảnh/2024/12/b.txt', 'lưu vào Ảnh (2)');
  await skiff.waitFor(/Đã nhận "Ảnh \(2\)\/2024\/12\/b\.txt"/);
}));

test('stopping mid-file and sending again resumes where the computer stopped', () => withPhone(browser(), {}, async ({ skiff, page, file }) => {
  const big = file('large.bin', randomBytes(16 * MIB));
  await choose(page, 'Chọn tệp khác', [big]);
  await page.setViewportSize({ width: 375, height: 300 });
  // The computer freezes as the second chunk leaves (one chunk held), so the stop lands mid-file.
  let frozen = false;
  await page.route('**/api/up/chunk?*', route => { frozen ||= route.request().url().includes(`offset=${4 * MIB}&`) && skiff.proc.kill('SIGSTOP'); return route.continue(); });
  await click(page, 'Gửi 1 file');
  assert.equal(await page.evaluate(() => scrollY), 0, 'the progress must be in sight');
  try {
    await eventually(() => assert.ok(frozen), 60000);
    await click(page, 'Dừng');
    await page.getByText('Đã dừng.', { exact: false }).waitFor();
  } finally {
    skiff.proc.kill('SIGCONT');
  }
  const kept = partSize(skiff), before = page.requests.length;
  const [shown, bar] = await page.locator('#queue .tile').first().evaluate(t =>
    [parseInt(t.querySelector('.trow span:last-child').textContent), new DOMMatrix(getComputedStyle(t.querySelector('.bar i')).transform).a]);
  assert.ok(shown > 0 && Math.abs(bar * 100 - shown) < 1, `the tile says ${shown} % over a bar at ${bar}`);
  await click(page, 'Gửi lại 1 file');
  await sent(page);
  const first = Math.min(...uploadCalls(page.requests.slice(before)).filter(c => c.startsWith('chunk')).map(c => Number(c.slice(6))));
  assert.ok(first > 0 && first < 16 * MIB && first >= kept - 4 * MIB, `resumed at ${first} although the computer kept ${kept} bytes`);
  assert.equal(sha256(stored(skiff, 'large.bin')), sha256(big));
}));

test('a text typed on the phone reaches the computer as typed', () => withPhone(browser(), {}, async ({ skiff, page }) => {
  await page.locator('#txt').fill(' Mã <b>42</b>\n  đủ ');
  await page.locator('#txtSend').click();
  const name = (await page.getByText('✓ Đã gửi', { exact: false }).textContent()).match(/“(.+)”/)[1];
  assert.equal(readFileSync(stored(skiff, name), 'utf8'), ' Mã <b>42</b>\n  đủ ');
}));

test('a chunk stored but answered into a dropped connection is not sent twice: the page asks where to go on, past a busy answer', () => withPhone(browser(), {}, async ({ skiff, page, file }) => {
  const three = file('three chunks.bin', randomBytes(2 * 4 * MIB + 5));
  // The second chunk reaches the computer, which stores it; its answer never reaches the phone.
  let answered = 0;
  const drop = async route => {
    if (answered || new URL(route.request().url()).searchParams.get('offset') !== String(4 * MIB)) return route.continue();
    answered = (await route.fetch()).status();
    await route.abort('connectionreset');
    await page.unroute('**/api/up/chunk?*', drop);
  };
  await page.route('**/api/up/chunk?*', drop);
  // The next init finds the upload busy (the computer has not yet seen the cut): the page asks again.
  let inits = 0;
  await page.route('**/api/up/init?*', route => (++inits === 2
    ? route.fulfill({ status: 409, contentType: 'application/json', body: '{"error":"busy","received":4194304}' }) : route.continue()));
  await send(page, [three]);
  await sent(page);
  assert.deepEqual([answered, sha256(stored(skiff, 'three chunks.bin'))], [200, sha256(three)]);
  // The resend of the lost chunk is refused with the computer's offset; a new init continues after it.
  assert.deepEqual(uploadCalls(page.requests), ['init', 'chunk 0', 'chunk 4194304', 'chunk 4194304', 'init', 'init', 'chunk 8388608', 'finish']);
}));

test('a digest the computer rejects makes exactly one whole-file resend; a second rejection fails the file', () => withPhone(browser(), {}, async ({ skiff, page, file }) => {
  const first = file('first.bin', randomBytes(4 * MIB + 77)), second = file('second.txt', 'short');
  // Finishes 1, 3 and 4 (the first file, the second file and its resend) carry a damaged digest.
  let finishes = 0;
  await page.route('**/api/up/finish?*', route => route.continue(++finishes === 2 ? {} : { url: route.request().url().replace(/sha256=\w+/, `sha256=${'0'.repeat(64)}`) }));
  await send(page, [first, second]);
  await page.getByText('1 file chưa gửi được', { exact: false }).waitFor({ timeout: 60000 });
  assert.deepEqual([finishes, ...uploadCalls(page.requests).filter(c => c !== 'finish')],
    [4, 'init', 'chunk 0', 'chunk 4194304', 'init', 'chunk 0', 'chunk 4194304', 'init', 'chunk 0', 'init', 'chunk 0']);
  assert.equal(sha256(stored(skiff, 'first.bin')), sha256(first));
  assert.deepEqual(readdirSync(skiff.receiveDir).filter(n => n.startsWith('second') || n.endsWith('.porter-part')), []);
  await page.getByRole('button', { name: 'Gửi lại 1 file' }).waitFor();
  await note(page, 'second.txt', '✕ SHA-256 không khớp');
}));
