// A client of the module under test, connected to an application folder's service and
// trusting its demo CA.
import fs from 'node:fs';
import { WebSocket } from 'ws';
import { QuorvexTefClient } from '../../../clients/js/src/index.js';

export function clientFor(app, options = {}) {
  const ca = fs.readFileSync(app.caFile);
  return new QuorvexTefClient({
    url: app.url,
    createWebSocket: (url) => new WebSocket(url, { ca }),
    ...options,
  });
}

export async function connectedClient(app, options) {
  const client = clientFor(app, options);
  await client.connect();
  return client;
}

// Collects every message and prompt the client reports, for assertions on what was shown.
export function recordingHandlers(answers = {}) {
  const seen = [];
  const record = (type) => async (prompt, context) => {
    seen.push(prompt);
    const answer = answers[type];
    return typeof answer === 'function' ? answer(prompt, context) : answer;
  };
  const handlers = {};
  for (const type of ['menu', 'collect', 'question', 'confirmation', 'message', 'qrcode', 'can_cancel', 'receipt']) {
    handlers[type] = record(type);
  }
  return { handlers, seen };
}
