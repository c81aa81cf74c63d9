// axe-core run in every frame of a page that shows.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';

const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

/**
 * axe-core's findings of every impact, minor and moderate included, in every frame that
 * shows, as readable lines; a shown page without a level-one heading is one too.
 */
export async function axeFindings(page) {
  const lines = [];
  for (const frame of page.frames()) {
    if (frame.isDetached()) continue;
    if (frame !== page.mainFrame()) {
      const element = await frame.frameElement().catch(() => null);
      if (!element || !(await element.isVisible().catch(() => false))) continue;
    }
    await frame.evaluate(axeSource);
    const result = await frame.evaluate(() =>
      // eslint-disable-next-line no-undef
      axe.run(document, { iframes: false, resultTypes: ['violations'] }),
    );
    const where = frame.url().replace(/^.*\//, '');
    for (const v of result.violations) {
      lines.push(`${where}: ${v.id} (${v.impact}): ${v.nodes.slice(0, 3).map((n) => `${n.target.join(' ')} ${n.failureSummary.replace(/\s+/g, ' ')}`).join(' | ')}`);
    }
    const h1 = await frame.evaluate(() => document.querySelectorAll('h1').length);
    const shown = await frame.evaluate(() => !document.documentElement.classList.contains('embed'));
    if (shown && h1 < 1) lines.push(`${where}: no level-one heading`);
  }
  return lines;
}
