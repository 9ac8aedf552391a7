import { after, before, describe, test } from 'node:test';
import { ENGINES, launch } from './engines.mjs';
import { SCENARIOS } from './scenarios.mjs';

const only = process.env.SKIFF_ENGINES ? process.env.SKIFF_ENGINES.split(',') : ENGINES;

for (const engine of only) {
  describe(`in ${engine}`, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(async () => { await browser?.close(); });
    for (const [name, run] of Object.entries(SCENARIOS)) {
      test(name, async () => {
        const tab = await browser.newTab();
        try {
          await run(browser, tab);
        } finally {
          await tab.close();
        }
      });
    }
  });
}
