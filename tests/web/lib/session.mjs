// The set-up every browser test file shares: a temporary workspace with its galleries built
// by mivo-make, a static server on 127.0.0.1 over it, and one Chromium.
import { rmSync } from 'node:fs';
import { launchBrowser } from './browser.mjs';
import { makeWorkspace } from './fixtures.mjs';
import { startServer } from './server.mjs';

/** Makes the workspace, lets `build` make the galleries in it, then starts server and browser. */
export async function openSession(build) {
  const workspace = makeWorkspace();
  build(workspace);
  const server = await startServer(workspace.root);
  const browser = await launchBrowser();
  return { workspace, server, browser };
}

/** Stops what openSession started and removes the workspace (kept with MIVO_KEEP_GALLERIES). */
export async function closeSession({ workspace, server, browser }) {
  await browser?.close();
  await server?.close();
  if (workspace && !process.env.MIVO_KEEP_GALLERIES) rmSync(workspace.root, { recursive: true, force: true });
}
