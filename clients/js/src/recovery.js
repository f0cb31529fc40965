// The outcome of a transaction whose connection dropped before its result came, found by its
// request id: once the client is connected again with a session, it asks
// "/transaction/status", and asks again after a growing pause while the service reports the
// transaction in progress, until a kept result or "unknown" settles it.
import {
  ConnectionClosedError,
  NotConnectedError,
  RequestIgnoredError,
  ServiceError,
  UnknownRequestError,
} from './errors.js';

export const STATUS_RETRY_FIRST_MS = 500;
export const STATUS_RETRY_MAX_MS = 5000;

// Replies that mean the service no longer knows the client's session (it restarted, or the
// session expired): a new one has to be opened.
const SESSION_ERRORS = new Set(['Sessão inválida.', 'Sessão expirada.', 'Campo session_uuid nao encontrado.']);

export const isSessionError = (error) => error instanceof ServiceError && SESSION_ERRORS.has(error.message);

// link: {
//   ready(): resolves when connected with a session; rejects when the recovery must end
//   status(requestId): the "/transaction/status" request
//   sessionLost(error): the service no longer knows the session
//   pause(ms): resolves after `ms`, or earlier when the connection or session changes
//   report(state, detail): tells the caller how the recovery goes
// }
// `lost`: the ConnectionClosedError the transaction ended with, carrying its request id.
// Resolves with the kept result. Rejects with UnknownRequestError; with `lost` when ready()
// rejects with it; else with a copy of `lost` whose cause is the reason (a refusal of the
// service other than the session's).
export async function recoverResult(lost, link) {
  try {
    return await askUntilKnown(lost.requestId, link);
  } catch (error) {
    if (error === lost || error instanceof UnknownRequestError) throw error;
    const { message, code, reason, requestId } = lost;
    throw new ConnectionClosedError(message, { code, reason, outcomeUnknown: true, requestId, cause: error });
  }
}

async function askUntilKnown(requestId, link) {
  let retryMs = STATUS_RETRY_FIRST_MS;
  for (;;) {
    await link.ready();
    const reply = await askStatus(requestId, link);
    if (reply?.type === 'result') return reply;
    if (reply?.status === 'unknown') throw new UnknownRequestError(requestId);
    if (reply === null) continue;  // connection or session gone again: ready() waits for them
    link.report('in_progress', { retryInMs: retryMs });
    await link.pause(retryMs);
    retryMs = Math.min(retryMs * 2, STATUS_RETRY_MAX_MS);
  }
}

// The reply; null when the connection or the session went meanwhile; undefined when the
// service is still busy with an earlier request of this client (asked again after a pause).
async function askStatus(requestId, link) {
  try {
    return await link.status(requestId);
  } catch (error) {
    if (error instanceof ConnectionClosedError || error instanceof NotConnectedError) return null;
    if (error instanceof RequestIgnoredError) return undefined;
    if (!isSessionError(error)) throw error;
    link.sessionLost(error);
    return null;
  }
}

// Lets waits end early when something they wait for may have changed.
export class ChangeSignal {
  #change = null;

  notify() {
    this.#change?.resolve();
    this.#change = null;
  }

  // Resolves after `ms`, or at the next notify().
  async wait(ms) {
    this.#change ??= withResolvers();
    let timer;
    const elapsed = new Promise((resolve) => (timer = setTimeout(resolve, Math.max(0, ms))));
    await Promise.race([elapsed, this.#change.promise]);
    clearTimeout(timer);
  }
}

// Promise.withResolvers(), which Node 20 lacks.
function withResolvers() {
  let resolve;
  const promise = new Promise((done) => (resolve = done));
  return { promise, resolve };
}
