// Fixtures of a describe() block: a running service (and a client with an open session),
// started before its tests and removed after them, also when a test fails.
import { after, before } from 'node:test';
import { AppFolder } from './app-folder.mjs';
import { connectedClient, sessionClient } from './client.mjs';

// options: those of AppFolder, and `client`: 'connected' or 'session' for a client too.
export function serviceForSuite({ client, ...options } = {}) {
  const suite = {};
  before(async () => {
    suite.app = new AppFolder(options);
    await suite.app.start();
    if (client === 'connected') suite.client = await connectedClient(suite.app);
    if (client === 'session') suite.client = await sessionClient(suite.app);
  });
  after(async () => {
    suite.client?.close();
    await suite.app?.remove();
  });
  return suite;
}
