// A client of the module under test, connected to an application folder's service and
// trusting its demo CA.
import fs from 'node:fs';
import { WebSocket } from 'ws';
import { QuorvexTefClient } from '../../../clients/js/src/index.js';
import { mintToken } from './app-folder.mjs';

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

// Collects every prompt the client reports, for assertions on what was shown. `answers`
// gives per prompt type a value, a function (prompt, context) => value, or an array of those
// taken in turn.
export function recordingHandlers(answers = {}) {
  const seen = [];
  const turns = Object.fromEntries(
    Object.entries(answers).map(([type, answer]) => [type, Array.isArray(answer) ? [...answer] : null]),
  );
  const record = (type) => async (prompt, context) => {
    seen.push(prompt);
    const answer = turns[type] ? turns[type].shift() : answers[type];
    return typeof answer === 'function' ? answer(prompt, context) : answer;
  };
  const handlers = {};
  for (const type of ['menu', 'collect', 'question', 'confirmation', 'message', 'qrcode', 'can_cancel', 'receipt']) {
    handlers[type] = record(type);
  }
  return { handlers, seen };
}

// A client with an open session on `app`.
export async function sessionClient(app, options) {
  const client = await connectedClient(app, options);
  await client.startSession(mintToken());
  return client;
}
