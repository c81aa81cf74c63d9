// Debian's Chromium through playwright-core, and pages that record what goes wrong in them.
import { chromium } from 'playwright-core';

export const chromiumArgs = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

export function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.MIVO_CHROMIUM ?? '/usr/bin/chromium',
    args: chromiumArgs,
    timeout: 60_000,
  });
}

/**
 * A new page in its own context whose console errors, uncaught exceptions, failed requests
 * and HTTP error answers (in every frame) are collected in `page.problems`. The browser's
 * language is Japanese unless `options.locale` names another.
 */
export async function watchedPage(browser, options = {}) {
  const context = await browser.newContext({
    viewport: options.viewport ?? { width: 1280, height: 800 },
    deviceScaleFactor: 1,
    hasTouch: options.hasTouch ?? false,
    isMobile: options.isMobile ?? false,
    reducedMotion: options.reducedMotion ?? 'no-preference',
    colorScheme: options.colorScheme ?? 'light',
    // The pages' own buttons follow the browser's language; most tests read them in Japanese.
    locale: options.locale ?? 'ja-JP',
  });
  const page = await context.newPage();
  page.setDefaultTimeout(10_000);
  const problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console error: ${message.text()} (${message.location().url})`);
  });
  page.on('pageerror', (error) => problems.push(`uncaught: ${error.message}`));
  page.on('requestfailed', (request) => {
    const failure = request.failure()?.errorText ?? '';
    // Leaving a page cancels its pending requests (lazy thumbnails, a preloaded picture):
    // that is the browser's doing, not a fault of the page.
    if (failure === 'net::ERR_ABORTED') return;
    problems.push(`request failed: ${request.url()} ${failure}`);
  });
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  page.problems = problems;
  page.closeAll = () => context.close();
  return page;
}
