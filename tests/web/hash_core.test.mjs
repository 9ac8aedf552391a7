// The page's checksums on both of its paths: the WebAssembly core, and the plain script that a
// browser without WebAssembly runs. Both must give the digests Node computes for the same bytes.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash, randomBytes } from 'node:crypto';
import zlib from 'node:zlib';
import { Skiff, launchBrowser, openPage } from './harness.mjs';

const WINDOW = 65536; // the core's window: lengths around its multiples cross from one copy to the next

let browser, skiff;
const paths = {};
before(async () => {
  browser = await launchBrowser();
  skiff = await Skiff.start();
  paths.core = await openPage(browser);
  paths.script = await openPage(browser);
  await paths.script.addInitScript(() => { delete globalThis.WebAssembly; });
  for (const page of Object.values(paths)) {
    await page.goto(`${skiff.base}/`);
    await page.getByRole('heading', { name: 'Nhập mã trên máy tính' }).waitFor();
  }
});
after(async () => {
  await browser?.close();
  await skiff?.stop();
});

const sha256 = bytes => createHash('sha256').update(bytes).digest('hex');
const crc32 = bytes => (zlib.crc32 ? zlib.crc32(bytes) : referenceCrc32(bytes)).toString(16).padStart(8, '0');

function referenceCrc32(bytes) {
  let c = 0xFFFFFFFF;
  for (const b of bytes) {
    c ^= b;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
  }
  return (c ^ 0xFFFFFFFF) >>> 0;
}

// Installs `data` in the page as `window.testBytes`; base64 keeps the transfer of megabytes quick.
async function give(page, data) {
  await page.evaluate(b64 => {
    const text = atob(b64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    window.testBytes = bytes;
  }, Buffer.from(data).toString('base64'));
}

// Piece sizes from 1 byte to a few windows, so block and window edges fall everywhere.
function unevenPieces(total, seed) {
  const sizes = [];
  let x = seed;
  for (let done = 0; done < total;) {
    x = (Math.imul(x, 1103515245) + 12345) >>> 0;
    const size = Math.min(total - done, [1, 63, 64, 65, 4095, 70001, 3 * WINDOW + 17][x % 7] + (x >>> 20) % 100);
    sizes.push(size);
    done += size;
  }
  return sizes;
}

const LENGTHS = [0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, WINDOW - 1, WINDOW, WINDOW + 1,
  2 * WINDOW + 63, ...Array.from({ length: 12 }, (_, i) => 200 + ((i * 7919) % 5000))];

for (const [name, page] of [['core', () => paths.core], ['script', () => paths.script]]) {
  describe(`checksums on the ${name} path`, () => {
    test('the path in use is the one this suite means to test', async () => {
      const core = await page().evaluate(() => hashCoreReady.then(c => c !== null));
      assert.equal(core, name === 'core');
    });

    test('Sha256 equals Node\'s digest for lengths around block and window boundaries', async () => {
      const data = randomBytes(Math.max(...LENGTHS));
      await give(page(), data);
      const got = await page().evaluate(lengths => lengths.map(n => new Sha256().update(testBytes.subarray(0, n)).hex()),
        LENGTHS);
      LENGTHS.forEach((n, i) => assert.equal(got[i], sha256(data.subarray(0, n)), `length ${n}`));
    });

    test('several MiB fed in uneven pieces, and two digests interleaved, equal the one-shot digest', async () => {
      const data = randomBytes(5 * 1024 * 1024 + 3);
      await give(page(), data);
      const sizes = unevenPieces(data.length, 7);
      const got = await page().evaluate(sizes => {
        const a = new Sha256(), b = new Sha256();
        let at = 0;
        for (const size of sizes) {
          a.update(testBytes.subarray(at, at + size));
          b.update(testBytes.subarray(at, at + size).slice().buffer);
          at += size;
        }
        return [a.hex(), b.hex(), new Sha256().update(testBytes).hex()];
      }, sizes);
      const want = sha256(data);
      assert.deepEqual(got, [want, want, want], `${sizes.length} pieces`);
    });

    test('crc32 equals zlib\'s for "abc", nothing, and lengths around the window', async () => {
      const data = randomBytes(4 * 1024 * 1024 + 5);
      await give(page(), data);
      const lengths = [0, 1, 7, 8, 9, 15, 16, 17, WINDOW - 1, WINDOW, WINDOW + 1, WINDOW + 9, data.length - 1];
      // Starting one byte in, so the core's 8-byte steps also meet unaligned input.
      const got = await page().evaluate(lengths => [crc32(new TextEncoder().encode('abc')),
        ...lengths.map(n => crc32(testBytes.subarray(1, 1 + n)))], lengths);
      assert.equal(got[0], '352441c2');
      lengths.forEach((n, i) => assert.equal(got[i + 1], crc32(data.subarray(1, 1 + n)), `length ${n}`));
    });
  });
}

test('a digest begun in plain script before the core was ready finishes with the core', async () => {
  const data = randomBytes(3 * WINDOW + 100);
  await give(paths.core, data);
  const got = await paths.core.evaluate(async cut => {
    const core = await hashCoreReady;
    const s = new Sha256();
    hashCore = null;
    s.update(testBytes.subarray(0, cut));
    hashCore = core;
    return s.update(testBytes.subarray(cut)).hex();
  }, WINDOW + 30);
  assert.equal(got, sha256(data));
});
