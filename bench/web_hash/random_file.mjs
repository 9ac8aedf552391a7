// A file of random bytes for the page to send, written 64 MiB at a time.
import { randomBytes } from 'node:crypto';
import { closeSync, openSync, writeSync } from 'node:fs';

const STEP = 64 * 1024 * 1024;

export function writeRandomFile(file, size) {
  const fd = openSync(file, 'w');
  try {
    for (let done = 0; done < size; done += STEP) writeSync(fd, randomBytes(Math.min(STEP, size - done)));
  } finally {
    closeSync(fd);
  }
}
