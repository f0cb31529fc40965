// QuorvexTefClient: the whole protocol of the service over one connection. Requests run one
// after the other, in the order they were made; answers to prompts and cancellation requests
// go out at once. A transaction with a request id outlives its connection: the client
// connects again by itself and asks the service for its outcome.
import { Connection } from './connection.js';
import { Dialogue } from './dialogue.js';
import { ConnectionClosedError, NotConnectedError } from './errors.js';
import {
  IgnorableOperation,
  PrintOperation,
  ReplyOperation,
  SettleOperation,
  StatusOperation,
  TransactionOperation,
} from './operations.js';
import { ChangeSignal, recoverResult } from './recovery.js';
import * as requests from './requests.js';

const DEFAULT_SETTLE_TIMEOUT_MS = 10000;
const DEFAULT_RECOVERY_TIMEOUT_MS = 300000;
const RECONNECT_FIRST_MS = 250;
const RECONNECT_MAX_MS = 5000;
const OUTCOME_UNKNOWN = 'A conexão com o serviço TEF caiu durante a transação; o resultado dela não é conhecido.';

export class QuorvexTefClient extends EventTarget {
  #url;
  #options;
  #connection = null;
  #queue = Promise.resolve();
  #current = null;
  #unsettled = false;
  #sessionUuid = null;
  #canCancel = false;
  #opening = null;
  // Set by close(): recoveries end and the client does not connect again by itself.
  #closedByCaller = false;
  // Notified whenever the connection or the session changes.
  #change = new ChangeSignal();

  // options: url (wss://host:port), WebSocket (a constructor) or createWebSocket(url),
  // handlers (default prompt handlers), settleTimeoutMs, reconnect, recoveryTimeoutMs.
  constructor(options) {
    super();
    if (!options?.url) throw new TypeError('The url option is required.');
    this.#url = options.url;
    this.#options = options;
  }

  get #settleTimeoutMs() {
    return this.#options.settleTimeoutMs ?? DEFAULT_SETTLE_TIMEOUT_MS;
  }

  get connected() {
    return this.#connection?.open ?? false;
  }

  get sessionUuid() {
    return this.#sessionUuid;
  }

  // True while the running transaction can be cancelled (the service said so).
  get canCancel() {
    const operation = this.#current;
    return Boolean(operation?.isTransaction && !operation.done && this.#canCancel);
  }

  connect() {
    this.#closedByCaller = false;
    return this.#open();
  }

  // Also ends the recoveries still waiting for a connection.
  close() {
    this.#closedByCaller = true;
    this.#connection?.close(1000, 'closed by the client');
    this.#change.notify();
  }

  // Opens a session with a signed token; later requests carry its identifier. Resolves with
  // the reply: {type, status, message, expiration, session_uuid, store_code, terminal_number}.
  async startSession(token, handlers) {
    const reply = await this.#run(
      new ReplyOperation(requests.sessionStart(token), 'session', { dialogue: this.#dialogue(handlers) }),
    );
    this.#setSession(reply.session_uuid);
    return reply;
  }

  // Takes up a session opened earlier (also by another connection: sessions outlive them),
  // for example after a page reload. The service checks it at the next request.
  useSession(sessionUuid) {
    this.#setSession(sessionUuid);
  }

  async finishSession() {
    const reply = await this.#run(new ReplyOperation(requests.sessionFinish(), 'session'));
    this.#sessionUuid = null;
    return reply;
  }

  initialize(handlers) {
    return this.#run(
      new ReplyOperation(requests.initialize(), 'initialize', { dialogue: this.#dialogue(handlers) }),
    );
  }

  // Resolves with {type: "status", status, message}.
  pinpadStatus() {
    return this.#run(
      new IgnorableOperation(
        requests.pinpadStatus(),
        'status',
        'O serviço não consultou o PinPad: há uma operação TEF em andamento.',
      ),
    );
  }

  // The service's state for whoever is on call: {type: "health", version, uptime_seconds,
  // library, operation_running, pending_transactions, print_queue, connections, last_error}.
  health() {
    return this.#run(new ReplyOperation(requests.health(), 'health'));
  }

  // category: "service_exe" or "clisitef_dll"; announced: {version, downloadUrl}.
  version(category = 'service_exe', announced) {
    return this.#run(
      new ReplyOperation(requests.version(category, announced), 'version', {
        matches: (reply) => reply.category === category,
      }),
    );
  }

  // Resolves with {status: "queued"} once the service has taken the document into its print
  // queue (it answers nothing then); whether the printer printed it is not reported.
  async print(document) {
    const data = await requests.pdfData(document);
    return this.#run(new PrintOperation(requests.print(data)));
  }

  // A payment: {operation, payerName, amount, installments, saleId}.
  pay(payment, handlers) {
    return this.#runTransaction(requests.payment(payment), handlers);
  }

  // Cancels an earlier payment: {nsu, date, amount, operation, installments, saleId}.
  cancelPayment(cancellation, handlers) {
    return this.#runTransaction(requests.cancellation(cancellation), handlers);
  }

  // Reprints a receipt: {operation} (the last one by default).
  reprint(reprint, handlers) {
    return this.#runTransaction(requests.reprint(reprint), handlers);
  }

  // One "/transaction/status" request: resolves with the kept result message, or with
  // {type: "status", request_id, status: "in_progress" | "unknown"}.
  transactionStatus(requestId) {
    return this.#run(new StatusOperation(requests.transactionStatus(requestId)));
  }

  // What a transaction whose connection dropped does by itself, for a request id kept from
  // before (a till that restarted): waits for a connection and a session, asks until the
  // service knows the outcome, and resolves with the kept result.
  recoverTransaction(requestId) {
    return this.#recover(new ConnectionClosedError(OUTCOME_UNKNOWN, { outcomeUnknown: true, requestId }));
  }

  // Asks the running transaction to stop. The service answers nothing: it takes the request
  // only while the transaction can be cancelled (see canCancel), and the transaction then
  // ends with the reason as a "confirmation" prompt and a "canceled" result. Returns whether
  // a request was sent (false when no transaction runs).
  cancelTransaction() {
    const operation = this.#current;
    if (!operation?.isTransaction || operation.done || !this.connected) return false;
    this.#send(requests.cancelRequest());
    return true;
  }

  // Resolves with the "result" message: {type, status, message, transaction_data?}.
  // A declined or cancelled operation is a result too (status "canceled" or
  // "unauthorized"); refusals of the request itself reject with ServiceError. With a
  // request id, a connection lost before the result is recovered from.
  async #runTransaction(request, handlers) {
    try {
      return await this.#run(
        new TransactionOperation(request, this.#dialogue(handlers, { transaction: true }), this.#settleTimeoutMs),
      );
    } catch (error) {
      if (error instanceof ConnectionClosedError && error.requestId !== undefined) return this.#recover(error);
      throw error;
    }
  }

  // `lost`: the error the transaction ended with; it is what the caller gets when the
  // recovery ends without the outcome (the reason then in its `cause`).
  async #recover(lost) {
    if (this.#closedByCaller) throw lost;
    const deadline = Date.now() + (this.#options.recoveryTimeoutMs ?? DEFAULT_RECOVERY_TIMEOUT_MS);
    const report = (state, detail) => this.#emit('recovery', { requestId: lost.requestId, state, ...detail });
    report('waiting');
    return recoverResult(lost, {
      ready: () => this.#ready(deadline, lost),
      status: (requestId) => this.transactionStatus(requestId),
      sessionLost: (error) => {
        this.#sessionUuid = null;
        report('session', { message: error.message });
      },
      pause: (ms) => this.#change.wait(Math.min(ms, deadline - Date.now())),
      report,
    });
  }

  // Resolves once connected with a session, connecting again by itself (unless the reconnect
  // option is false) after a growing pause; throws `lost` when the caller closed the client
  // or at the deadline.
  async #ready(deadline, lost) {
    let pauseMs = RECONNECT_FIRST_MS;
    for (;;) {
      if (this.#closedByCaller || Date.now() >= deadline) throw lost;
      if (this.connected && this.#sessionUuid) return;
      if (this.connected || this.#options.reconnect === false) {
        await this.#change.wait(deadline - Date.now());
        continue;
      }
      try {
        await this.#open();
        if (this.#closedByCaller) this.#connection.close(1000, 'closed by the client');
      } catch {
        await this.#change.wait(Math.min(pauseMs, deadline - Date.now()));
        pauseMs = Math.min(pauseMs * 2, RECONNECT_MAX_MS);
      }
    }
  }

  #open() {
    if (this.connected) return Promise.resolve();
    this.#opening ??= this.#openConnection().finally(() => (this.#opening = null));
    return this.#opening;
  }

  async #openConnection() {
    // A new connection has no messages of earlier requests to wait for.
    this.#unsettled = false;
    this.#connection = await Connection.open(this.#url, this.#options, {
      message: (message) => this.#receive(message),
      unparsable: (text) => this.#emit('unexpected', { text }),
      close: (info) => this.#closed(info),
    });
    this.#change.notify();
    this.#emit('open', {});
  }

  #setSession(sessionUuid) {
    this.#sessionUuid = sessionUuid || null;
    this.#change.notify();
  }

  #dialogue(handlers = {}, { transaction = false } = {}) {
    const merged = { ...this.#options.handlers, ...handlers };
    if (transaction) {
      const notify = merged.can_cancel;
      merged.can_cancel = (prompt, context) => {
        this.#canCancel = prompt.can_cancel === true;
        return notify?.(prompt, context);
      };
    }
    return new Dialogue(
      merged,
      (answer) => this.#send({ route: '/transaction', ...answer }),
      (error) => this.#emit('handlererror', { error }),
    );
  }

  #run(operation) {
    const turn = this.#queue.then(() => this.#execute(operation));
    this.#queue = turn.catch(() => {});
    return operation.promise;
  }

  async #execute(operation) {
    if (!this.connected) {
      operation.fail(new NotConnectedError());
      return;
    }
    if (this.#unsettled) {
      const settled = await this.#perform(
        new SettleOperation(this.#settleTimeoutMs, 'O serviço ainda não terminou a operação anterior.'),
      );
      if (!settled.ok) {
        operation.fail(settled.error);
        return;
      }
      this.#unsettled = false;
    }
    if (!this.connected) {
      operation.fail(new NotConnectedError());
      return;
    }
    await this.#perform(operation);
    if (operation.leavesUnsettled) this.#unsettled = true;
  }

  async #perform(operation) {
    this.#current = operation;
    this.#canCancel = false;
    try {
      operation.start((message) => this.#send(message));
    } catch (error) {
      operation.fail(error);
    }
    try {
      return { ok: true, value: await operation.promise };
    } catch (error) {
      return { ok: false, error };
    } finally {
      this.#current = null;
      this.#canCancel = false;
    }
  }

  // Every request but the session start carries the open session, if any.
  #send(message) {
    const withSession =
      this.#sessionUuid && message.route !== '/session/start'
        ? { ...message, session_uuid: this.#sessionUuid }
        : message;
    this.#connection.send(withSession);
  }

  #receive(message) {
    const operation = this.#current;
    if (operation && !operation.done && operation.receive(message)) return;
    // Replies to fences nobody waits for any more are expected; anything else is reported.
    if (message.type !== 'version') this.#emit('unexpected', { message });
  }

  #closed({ code, reason }) {
    const operation = this.#current;
    if (operation && !operation.done) {
      const error = operation.isTransaction
        ? new ConnectionClosedError(OUTCOME_UNKNOWN, {
            code,
            reason,
            outcomeUnknown: true,
            requestId: operation.request.request_id,
          })
        : new ConnectionClosedError('A conexão com o serviço TEF caiu antes da resposta.', { code, reason });
      operation.abort(error);
    }
    this.#change.notify();
    this.#emit('close', { code, reason });
  }

  #emit(type, detail) {
    this.dispatchEvent(new CustomEvent(type, { detail }));
  }
}

