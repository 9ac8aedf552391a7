import { after, before, describe, test } from 'node:test';
import { ENGINES, launch } from './engines.mjs';
import { SCENARIOS } from './scenarios.mjs';

for (const engine of process.env.SKIFF_ENGINES?.split(',') ?? ENGINES) {
  describe(`in ${engine}`, () => {
    let browser;
    before(async () => { browser = await launch(engine); });
    after(() => browser?.close());
    for (const [name, run] of Object.entries(SCENARIOS)) {
      test(name, async () => {
        const tab = await browser.newTab();
        await run(browser, tab).finally(() => tab.close());
      });
    }
  });
}
