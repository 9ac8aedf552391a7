import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { Skiff, connectApproved, eventually, launchBrowser, openPage } from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

describe('pairing a new phone', () => {
  test('a denied phone is told so and keeps its code', async () => {
    const skiff = await Skiff.start();
    try {
      const page = await openPage(browser);
      await page.goto(`${skiff.base}/?t=${skiff.code}`);
      await skiff.pairingCode();
      skiff.answer('k');
      await page.getByText('Máy tính đã từ chối thiết bị này.', { exact: false }).waitFor();
      await page.reload();
      await page.getByText('Máy tính đã từ chối thiết bị này.', { exact: false }).waitFor();
      assert.equal(await page.evaluate(() => sessionStorage.getItem('pin')), skiff.code);
    } finally {
      await skiff.stop();
    }
  });
});

describe('entering the session code', () => {
  test('a wrong code is reported and forgotten; a typed code is checked and trimmed', async () => {
    const skiff = await Skiff.start();
    try {
      const page = await openPage(browser);
      const wrong = skiff.code === '000000' ? '111111' : '000000';
      await page.goto(`${skiff.base}/?t=${wrong}`);
      await page.getByText('Mã không đúng hoặc máy tính đã đổi mã. Xem lại mã trên máy tính.').waitFor();
      assert.equal(await page.evaluate(() => sessionStorage.getItem('pin')), null);

      await page.reload();
      const input = page.getByPlaceholder('••••••');
      await input.waitFor();
      assert.equal(await page.getByRole('alert').isVisible(), false, 'no message without a reason');
      await page.getByText('Cần mã xác nhận').waitFor();

      await input.fill(skiff.code.slice(0, 3) + ' ' + skiff.code.slice(3, 5));
      await page.getByRole('button', { name: 'Kết nối' }).click();
      await page.getByText('Mã gồm đúng 6 chữ số.').waitFor();

      // A code pasted from a message keeps all six digits; autofill can bring blanks around it.
      await input.fill(skiff.code.slice(0, 3) + ' - ' + skiff.code.slice(3));
      assert.equal(await input.inputValue(), skiff.code);
      await input.evaluate((el, v) => { el.value = v; }, ' ' + skiff.code + ' ');
      await input.press('Enter');
      await page.getByRole('heading', { name: 'Chờ máy tính cho phép' }).waitFor();
      assert.equal(await page.evaluate(() => sessionStorage.getItem('pin')), skiff.code);
    } finally {
      await skiff.stop();
    }
  });

  test('a five-digit code in the address asks for the code without an error', async () => {
    const skiff = await Skiff.start();
    try {
      const page = await openPage(browser);
      await page.goto(`${skiff.base}/?t=12345`);
      await page.getByRole('heading', { name: 'Nhập mã trên máy tính' }).waitFor();
      assert.equal(await page.getByRole('alert').isVisible(), false);
      assert.ok(!page.requests.some(u => u.includes('/api/')), 'no request should carry an invalid code');
    } finally {
      await skiff.stop();
    }
  });
});

describe('in a messaging app\'s own browser', () => {
  test('the page offers its address with the code, to open in Safari or Chrome', async () => {
    const skiff = await Skiff.start();
    try {
      const page = await openPage(browser, { userAgent: 'Mozilla/5.0 (iPhone; CPU iPhone OS 17_0 like Mac OS X) Mobile/15E148 Zalo iOS' });
      await connectApproved(skiff, page);
      await page.getByText('Mở trong Safari hoặc Chrome', { exact: false }).waitFor();
      assert.equal(await page.getByLabel('Địa chỉ trang').inputValue(), `${skiff.base}/?t=${skiff.code}`);
      await page.getByRole('button', { name: 'Chép' }).click();
      await page.getByRole('button', { name: 'Đã chép' }).waitFor();
    } finally {
      await skiff.stop();
    }
  });
});

describe('too many wrong codes', () => {
  test('the tenth wrong code locks the phone out, even with the right code afterwards', async () => {
    const skiff = await Skiff.start();
    try {
      const page = await openPage(browser);
      await page.goto(`${skiff.base}/`);
      const input = page.getByPlaceholder('••••••');
      const wrong = skiff.code === '000000' ? '111111' : '000000';
      for (let i = 0; i < 10; i++) {
        await input.fill(wrong);
        const [answer] = await Promise.all([
          page.waitForResponse(r => r.url().includes('/api/files')),
          page.getByRole('button', { name: 'Kết nối' }).click(),
        ]);
        assert.equal(answer.status(), 403, `wrong code ${i + 1}`);
        await page.getByText('Mã không đúng hoặc máy tính đã đổi mã. Xem lại mã trên máy tính.').waitFor();
      }
      await input.fill(skiff.code);
      await page.getByRole('button', { name: 'Kết nối' }).click();
      await page.getByText('Nhập sai quá nhiều lần nên máy tính tạm khoá. Trên máy tính bấm “Đổi mã” rồi quét lại mã QR.').waitFor();
      await page.getByText('Cần mã xác nhận').waitFor();
      assert.ok(await page.getByRole('heading', { name: 'Nhập mã trên máy tính' }).isVisible());
    } finally {
      await skiff.stop();
    }
  });
});

describe('losing the program', () => {
  test('the network screen appears once the program is gone and "Thử lại" keeps it there', async () => {
    const skiff = await Skiff.start();
    const page = await openPage(browser);
    try {
      await connectApproved(skiff, page);
    } finally {
      await skiff.stop();
    }
    await page.getByRole('heading', { name: 'Chưa tới được máy tính' }).waitFor({ timeout: 12000 });
    await page.getByText('Mất kết nối với máy tính').waitFor();
    await page.evaluate(() => {
      window.pillTexts = [];
      const conn = document.getElementById('conn');
      new MutationObserver(() => window.pillTexts.push(conn.textContent)).observe(conn, { childList: true, characterData: true, subtree: true });
    });
    await page.getByRole('button', { name: 'Thử lại' }).click();
    await eventually(async () => assert.deepEqual(await page.evaluate(() => window.pillTexts), ['Đang thử lại…', 'Mất kết nối với máy tính']));
    assert.ok(await page.getByRole('heading', { name: 'Chưa tới được máy tính' }).isVisible());
  });
});
