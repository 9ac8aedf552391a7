// Draws the phone page as people see it into docs/screens/phone-page-WIDTH-SCHEME.png: the send
// tab with files chosen, a send under way (the computer frozen halfway), the same send stopped
// and the receive tab, side by side, at 320, 375 and 414 px wide in light and dark. Needs the page test host built
// (build/asan by default, or SKIFF_PAGE_HOST) and `npm ci`; run from the repository root.
import { execFileSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import { readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { Skiff, eventually, launchBrowser, openPage, tempDir } from '../tests/web/harness.mjs';

const OUT = path.resolve(import.meta.dirname, '../docs/screens');
const ffmpeg = (...args) => execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', ...args]);

const share = tempDir();
const src = tempDir();
ffmpeg('-f', 'lavfi', '-i', 'testsrc2=size=640x480:rate=1', '-frames:v', '1', path.join(share, 'IMG_2041.JPG'));
ffmpeg('-f', 'lavfi', '-i', 'smptebars=duration=95:size=320x240:rate=1', '-pix_fmt', 'yuv420p', path.join(share, 'Quay màn hình 2026-12-01.mp4'));
writeFileSync(path.join(share, 'Báo cáo quý 4 - bản cuối cùng.pdf'), '%PDF-1.4\n');
ffmpeg('-f', 'lavfi', '-i', 'mandelbrot=size=640x480:rate=1', '-frames:v', '1', path.join(src, 'IMG_3307.JPG'));
ffmpeg('-f', 'lavfi', '-i', 'testsrc=duration=2:size=160x120:rate=5', '-pix_fmt', 'yuv420p', path.join(src, 'IMG_3308.MOV'));
writeFileSync(path.join(src, 'Hợp đồng thuê nhà (bản ký).pdf'), randomBytes(24 * 1024 * 1024));

// Fades and fills run to their end first; only the endless animations are caught mid-way.
async function settled(page) {
  await page.evaluate(() => Promise.all(document.getAnimations()
    .filter(a => a.effect && a.effect.getTiming().iterations !== Infinity).map(a => a.finished.catch(() => {}))));
  return page.screenshot();
}

const browser = await launchBrowser();
try {
  for (const colorScheme of ['light', 'dark']) {
    for (const width of [320, 375, 414]) {
      const skiff = await Skiff.start([share], true);
      const shots = [];
      try {
        const page = await openPage(browser, { viewport: { width, height: 720 }, colorScheme });
        await page.goto(`${skiff.base}/?t=${skiff.code}`);
        await skiff.approve();
        await page.getByRole('tab', { name: /Gửi lên máy tính/ }).waitFor();
        await page.locator('#tSend').click();
        await page.setInputFiles('#files', ['IMG_3307.JPG', 'IMG_3308.MOV', 'Hợp đồng thuê nhà (bản ký).pdf'].map(n => path.join(src, n)));
        await page.getByText('3 file đã chọn').waitFor();
        shots.push(await settled(page));

        await page.locator('#send').click();
        const part = () => {
          const name = readdirSync(skiff.receiveDir).find(n => n.endsWith('.porter-part'));
          return name ? statSync(path.join(skiff.receiveDir, name)).size : 0;
        };
        await eventually(() => { if (part() < 9 * 1024 * 1024) throw new Error('not yet'); }, 60000);
        skiff.proc.kill('SIGSTOP');
        shots.push(await settled(page));
        skiff.proc.kill('SIGCONT');
        await page.locator('#stop').click();
        await page.getByText('Đã dừng.', { exact: false }).waitFor();
        shots.push(await settled(page));

        await page.locator('#tRecv').click();
        await eventually(async () => {
          if (!(await page.locator('#list .pic img').evaluateAll(l => l.length > 1 && l.every(i => i.complete && i.naturalWidth)))) throw new Error('thumbnails');
        }, 20000);
        await Promise.all([page.waitForEvent('download'), page.locator('.tile', { hasText: 'IMG_2041' }).locator('a.dl').click()]);
        await page.locator('.tile', { hasText: 'IMG_2041' }).locator('a.dl.done').waitFor();
        shots.push(await settled(page));
        await page.context().close();
      } finally {
        await skiff.stop();
      }
      // The four screens side by side on one sheet.
      const sheet = await openPage(browser, { viewport: { width: 4 * width + 60, height: 744 }, colorScheme });
      await sheet.setContent(`<body style="margin:0;padding:12px;display:flex;gap:12px;background:${colorScheme === 'dark' ? '#333' : '#ccc'}">` +
        shots.map(b => `<img style="width:${width}px;height:720px" src="data:image/png;base64,${b.toString('base64')}">`).join('') + '</body>');
      const file = path.join(OUT, `phone-page-${width}-${colorScheme}.png`);
      const raw = file.replace(/\.png$/, '.raw.png');
      writeFileSync(raw, await sheet.screenshot());
      await sheet.context().close();
      // A palette keeps each sheet well under 200 KB.
      execFileSync('vips', ['copy', raw, `${file}[palette,compression=9]`]);
      rmSync(raw);
      console.log(file, readFileSync(file).length);
    }
  }
} finally {
  await browser.close();
  rmSync(share, { recursive: true, force: true });
  rmSync(src, { recursive: true, force: true });
}
