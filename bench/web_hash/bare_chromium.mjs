// A headless Chromium driven over a bare DevTools connection that never enables the Network
// domain: with it enabled (as Playwright always does) Chromium copies every request body into
// its DevTools events, and uploads crawl at a few MB/s that no phone would see.
import { spawn } from 'node:child_process';

const CHROMIUM = process.env.CHROMIUM_BINARY || '/usr/bin/chromium';

// A headless Chromium on a loopback DevTools port, and a minimal client for one of its tabs.
export async function bareChromium(profile) {
  const proc = spawn(CHROMIUM, ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
    '--disable-component-update', '--no-first-run', '--disable-sync', '--remote-debugging-address=127.0.0.1',
    '--remote-debugging-port=0', `--user-data-dir=${profile}`, 'about:blank'], { stdio: ['ignore', 'ignore', 'pipe'] });
  const port = await new Promise((resolve, reject) => {
    let text = '';
    proc.stderr.on('data', d => {
      text += d;
      const m = /DevTools listening on ws:\/\/127\.0\.0\.1:(\d+)\//.exec(text);
      if (m) resolve(Number(m[1]));
    });
    proc.on('exit', () => reject(new Error(`chromium exited: ${text}`)));
  });
  const targets = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
  const socket = new WebSocket(targets.find(t => t.type === 'page').webSocketDebuggerUrl);
  await new Promise((resolve, reject) => { socket.onopen = resolve; socket.onerror = reject; });
  const waiting = new Map();
  let next = 1;
  socket.onmessage = e => {
    const m = JSON.parse(e.data);
    if (!waiting.has(m.id)) return;
    const { resolve, reject } = waiting.get(m.id);
    waiting.delete(m.id);
    if (m.error) reject(new Error(JSON.stringify(m.error))); else resolve(m.result);
  };
  const send = (method, params = {}) => new Promise((resolve, reject) => {
    const id = next++;
    waiting.set(id, { resolve, reject });
    socket.send(JSON.stringify({ id, method, params }));
  });
  const evaluate = async expression => (await send('Runtime.evaluate', { expression, returnByValue: true })).result.value;
  const until = async (expression, timeout) => {
    for (const end = Date.now() + timeout; !(await evaluate(expression));) {
      if (Date.now() > end) throw new Error(`timed out waiting for ${expression}`);
      await new Promise(r => setTimeout(r, 100));
    }
  };
  const close = () => { socket.close(); proc.kill(); };
  return { send, evaluate, until, close };
}

