// axe-core on every screen in both colour schemes; nothing wider than the screen, no tap under 44 px.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { useChromium, withPhone } from './harness.mjs';

const browser = useChromium();
const AXE = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

test('code, waiting, main, receive, player and network screens, light at 390 px and dark at 320 px wide', () => withPhone(browser(), {
  approve: false, shared: { 'clip.mp4': Buffer.alloc(4096), 'notes.txt': 'hello' },
}, async ({ skiff, page, file }) => {
  const report = [];
  const check = async (screen, shown) => {
    await shown?.waitFor();
    for (const [colorScheme, width] of [['light', 390], ['dark', 320]]) {
      await page.emulateMedia({ colorScheme });
      await page.setViewportSize({ width, height: 640 });
      if (!(await page.evaluate(() => typeof window.axe === 'object'))) await page.addScriptTag({ content: AXE });
      const found = await page.evaluate(async width => {
        // Colours are judged on the settled page, not halfway through a fade-in.
        await Promise.all(document.getAnimations().filter(a => a.effect?.getTiming().iterations !== Infinity).map(a => a.finished.catch(() => {})));
        const { violations } = await window.axe.run(document, { resultTypes: ['violations'] });
        const found = violations.filter(v => v.impact === 'serious' || v.impact === 'critical')
          .map(v => `${v.id} (${v.impact}): ${v.help} at ${v.nodes.map(n => n.target.join(' ')).join(', ')}`);
        if (document.documentElement.scrollWidth > width) found.push(`the page is ${document.documentElement.scrollWidth} px wide`);
        // Fingers need 44 by 44 CSS pixels; and labels side by side must not run into each other.
        const shown = [...document.querySelectorAll('button, a, summary, input:not([type=file])')]
          .filter(e => e.getClientRects().length && getComputedStyle(e).visibility !== 'hidden');
        const small = shown.map(e => [e, e.getBoundingClientRect()]).filter(([, r]) => r.width < 44 || r.height < 44)
          .map(([e, r]) => `"${e.textContent.trim() || e.getAttribute('aria-label')}" is ${Math.round(r.width)}×${Math.round(r.height)} px`);
        const over = [...document.querySelectorAll('.trow')].map(row => [row, ...[...row.children].map(c => c.getBoundingClientRect())])
          .filter(([, a, b]) => a && b && b.width && a.right > b.left && a.bottom > b.top && b.bottom > a.top).map(([row]) => `labels overlap: ${row.textContent}`);
        return [...found, ...small, ...over];
      }, width);
      report.push(...found.map(f => `${screen}, ${colorScheme}: ${f}`));
    }
  };
  const role = (r, name) => page.getByRole(r, { name });
  await page.goto(`${skiff.base}/`);
  await role('heading', 'Nhập mã trên máy tính').waitFor();
  await role('button', 'Kết nối').click();
  await check('code', page.getByText('Mã gồm đúng 6 chữ số.'));

  await page.goto(`${skiff.base}/?t=${skiff.code}`);
  await role('heading', 'Chờ máy tính cho phép').waitFor();
  await skiff.pairingCode();
  await check('waiting');
  skiff.answer('c');
  await role('tab', /Gửi lên máy tính/).click();
  await check('send, nothing chosen', role('button', 'Chọn ảnh, video'));
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), role('button', 'Chọn tệp khác').click()]);
  await chooser.setFiles([file('photo.jpg', 'x')]);
  await check('send, one file chosen', page.getByText('1 file đã chọn'));

  await role('tab', /Nhận từ máy tính/).click();
  await check('receive', page.getByText('Máy tính đang chia sẻ 2 file'));
  await role('button', 'Xem clip.mp4').click();
  await check('player', role('dialog', 'clip.mp4'));
  await page.goBack();  // the phone's own way out of the player ("Đóng" is each engine's scenario)
  await page.getByRole('dialog').waitFor({ state: 'hidden' });
  await page.getByText('Máy tính đang chia sẻ 2 file').waitFor();

  await skiff.stop();
  await role('heading', 'Chưa tới được máy tính').waitFor({ timeout: 12000 });
  await page.getByText('Wi‑Fi chặn các máy nói chuyện với nhau?').click();
  await check('network');
  assert.deepEqual(report, [], report.join('\n'));
}));
