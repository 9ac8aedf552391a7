// axe-core on every screen of the page, in both colour schemes: nothing serious or critical, and
// nothing wider than a small phone's screen, no tap target under 44 px, no labels on top of each other.
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
  const findings = {};
  const check = async (page, screen) => {
    for (const [colorScheme, width] of [['light', 390], ['dark', 320]]) {
      await page.emulateMedia({ colorScheme });
      await page.setViewportSize({ width, height: 640 });
      if (!(await page.evaluate(() => typeof window.axe === 'object'))) await page.addScriptTag({ content: AXE });
      findings[`${screen}, ${colorScheme}`] = await page.evaluate(async width => {
        // Colours are judged on the settled page, not halfway through a fade-in.
        await Promise.all(document.getAnimations().filter(a => a.effect?.getTiming().iterations !== Infinity).map(a => a.finished.catch(() => {})));
        const { violations } = await window.axe.run(document, { resultTypes: ['violations'] });
        const found = violations.filter(v => v.impact === 'serious' || v.impact === 'critical').map(v => `${v.id} (${v.impact}): ${v.help}\n`
          + v.nodes.map(n => `    ${n.target.join(' ')} ${n.failureSummary.replace(/\s+/g, ' ')}`).join('\n'));
        const wide = document.documentElement.scrollWidth;
        if (wide > width) found.push(`the page is ${wide} px wide`);
        // Fingers need 44 by 44 CSS pixels; and labels side by side must not run into each other.
        const shown = [...document.querySelectorAll('button, a, summary, input:not([type=file])')]
          .filter(e => e.getClientRects().length && getComputedStyle(e).visibility !== 'hidden');
        const small = shown.map(e => [e, e.getBoundingClientRect()]).filter(([, r]) => r.width < 44 || r.height < 44)
          .map(([e, r]) => `"${e.textContent.trim() || e.getAttribute('aria-label')}" is ${Math.round(r.width)}×${Math.round(r.height)} px`);
        const over = [...document.querySelectorAll('.trow')].filter(row => {
          const [a, b] = [...row.children].map(c => c.getBoundingClientRect());
          return a && b && b.width && a.right > b.left && a.bottom > b.top && b.bottom > a.top;
        }).map(row => `labels overlap: ${row.textContent}`);
        return [...found, ...small, ...over];
      }, width);
    }
  };
  await page.goto(`${skiff.base}/`);
  await page.getByRole('heading', { name: 'Nhập mã trên máy tính' }).waitFor();
  await page.getByRole('button', { name: 'Kết nối' }).click();
  await page.getByText('Mã gồm đúng 6 chữ số.').waitFor();
  await check(page, 'code');

  await page.goto(`${skiff.base}/?t=${skiff.code}`);
  await page.getByRole('heading', { name: 'Chờ máy tính cho phép' }).waitFor();
  await skiff.pairingCode();
  await check(page, 'waiting');
  skiff.answer('c');
  await page.getByRole('tab', { name: /Gửi lên máy tính/ }).click();
  await page.getByRole('button', { name: 'Chọn ảnh, video' }).waitFor();
  await check(page, 'send, nothing chosen');
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.getByRole('button', { name: 'Chọn tệp khác' }).click()]);
  await chooser.setFiles([file('photo.jpg', 'x')]);
  await page.getByText('1 file đã chọn').waitFor();
  await check(page, 'send, one file chosen');

  await page.getByRole('tab', { name: /Nhận từ máy tính/ }).click();
  await page.getByText('Máy tính đang chia sẻ 2 file').waitFor();
  await check(page, 'receive');

  await page.getByRole('button', { name: 'Xem clip.mp4' }).click();
  await page.getByRole('dialog', { name: 'clip.mp4' }).waitFor();
  await check(page, 'player');
  await page.goBack();  // the phone's own way out of the player ("Đóng" is each engine's scenario)
  await page.getByRole('dialog').waitFor({ state: 'hidden' });
  await page.getByText('Máy tính đang chia sẻ 2 file').waitFor();

  await skiff.stop();
  await page.getByRole('heading', { name: 'Chưa tới được máy tính' }).waitFor({ timeout: 12000 });
  await page.getByText('Wi‑Fi chặn các máy nói chuyện với nhau?').click();
  await check(page, 'network');
  const report = Object.entries(findings).filter(([, f]) => f.length).map(([s, f]) => `${s}:\n  ${f.join('\n  ')}`);
  assert.deepEqual(report, [], report.join('\n'));
}));
