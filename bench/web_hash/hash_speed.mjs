// Hashing speed of the phone page in headless Chromium, next to npm hash-wasm and js-sha256 in
// the same browser and the same run. Prints one JSON object; see bench/README.md.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { Skiff, launchBrowser, openPage } from '../../tests/web/harness.mjs';

const require = createRequire(import.meta.url);
const HASH_WASM = require.resolve('hash-wasm/dist/index.umd.min.js');
const JS_SHA256 = require.resolve('js-sha256/build/sha256.min.js');
const MIB = 1024 * 1024;
const SIZE = Number(process.env.SIZE_MIB || 64) * MIB;
const PIECE = 4 * MIB; // the page hashes what it sends, one 4 MiB chunk at a time
const ROUNDS = Number(process.env.ROUNDS || 5);

// Runs inside the page: every contender hashes the same buffer in the same pieces, in turn,
// ROUNDS times; each reports its median in MB/s (10^6 bytes per second) and its digest.
async function measure({ size, piece, rounds, contenders }) {
  const data = new Uint8Array(size);
  for (let i = 0; i < size; i += 65536) crypto.getRandomValues(data.subarray(i, i + 65536));
  const runs = {
    pageSha256() {
      const s = new Sha256();
      for (let i = 0; i < size; i += piece) s.update(data.subarray(i, i + piece));
      return s.hex();
    },
    jsSha256() {
      const s = sha256.create();
      for (let i = 0; i < size; i += piece) s.update(data.subarray(i, i + piece));
      return s.hex();
    },
    hashWasmSha256() {
      const s = this.wasmSha;
      s.init();
      for (let i = 0; i < size; i += piece) s.update(data.subarray(i, i + piece));
      return s.digest('hex');
    },
    pageCrc32() {
      let last = '';
      for (let i = 0; i < size; i += piece) last = crc32(data.subarray(i, i + piece));
      return last;
    },
    hashWasmCrc32() {
      const c = this.wasmCrc;
      let last = '';
      for (let i = 0; i < size; i += piece) {
        c.init();
        c.update(data.subarray(i, i + piece));
        last = c.digest('hex');
      }
      return last;
    },
  };
  if (typeof hashwasm !== 'undefined') {
    runs.wasmSha = await hashwasm.createSHA256();
    runs.wasmCrc = await hashwasm.createCRC32();
  }
  const times = Object.fromEntries(contenders.map(c => [c, []]));
  const digests = {};
  for (const c of contenders) digests[c] = runs[c](); // warm-up, and the digests to compare
  for (let r = 0; r < rounds; r++) {
    for (const c of r % 2 ? [...contenders].reverse() : contenders) {
      const t0 = performance.now();
      runs[c]();
      times[c].push(performance.now() - t0);
    }
  }
  const result = {};
  for (const c of contenders) {
    const sorted = times[c].sort((a, b) => a - b);
    const median = sorted[Math.floor(sorted.length / 2)];
    result[c] = { mbps: +(size / 1e3 / median).toFixed(1), digest: digests[c] };
  }
  return result;
}

export async function hashSpeeds(browser, base, { size = SIZE, rounds = ROUNDS } = {}) {
  const core = await openPage(browser);
  await core.goto(`${base}/`);
  const haveCore = await core.evaluate(() => hashCoreReady.then(c => c !== null));
  if (!haveCore) throw new Error('the page did not start its WebAssembly core');
  await core.addScriptTag({ content: readFileSync(HASH_WASM, 'utf8') });
  const withCore = await core.evaluate(measure, {
    size, piece: PIECE, rounds, contenders: ['pageSha256', 'hashWasmSha256', 'pageCrc32', 'hashWasmCrc32'],
  });

  // The plain-script path, as a browser without WebAssembly runs it.
  const plain = await openPage(browser);
  await plain.addInitScript(() => { delete globalThis.WebAssembly; });
  await plain.goto(`${base}/`);
  await plain.addScriptTag({ content: readFileSync(JS_SHA256, 'utf8') });
  const script = await plain.evaluate(measure, { size, piece: PIECE, rounds, contenders: ['pageSha256', 'jsSha256'] });
  await core.context().close();
  await plain.context().close();

  const r = {
    sizeMiB: size / MIB,
    rounds,
    sha256: { page: withCore.pageSha256.mbps, hashWasm: withCore.hashWasmSha256.mbps },
    crc32: { page: withCore.pageCrc32.mbps, hashWasm: withCore.hashWasmCrc32.mbps },
    plainSha256: { page: script.pageSha256.mbps, jsSha256: script.jsSha256.mbps },
  };
  r.sha256.ratio = +(r.sha256.page / r.sha256.hashWasm).toFixed(2);
  r.crc32.ratio = +(r.crc32.page / r.crc32.hashWasm).toFixed(2);
  r.plainSha256.ratio = +(r.plainSha256.page / r.plainSha256.jsSha256).toFixed(2);
  const agree = withCore.pageSha256.digest === withCore.hashWasmSha256.digest &&
    withCore.pageCrc32.digest === withCore.hashWasmCrc32.digest && script.pageSha256.digest === script.jsSha256.digest;
  if (!agree) throw new Error(`digests differ: ${JSON.stringify({ withCore, script })}`);
  return r;
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const browser = await launchBrowser();
  const skiff = process.env.PAGE_BASE ? null : await Skiff.start();
  try {
    console.log(JSON.stringify(await hashSpeeds(browser, process.env.PAGE_BASE || skiff.base), null, 2));
  } finally {
    await browser.close();
    await skiff?.stop();
  }
}
