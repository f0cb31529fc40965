// How each request ends. The service answers most requests with one reply; a few requests get
// no reply by design (a queued print) or when the service drops them (a transaction or PIN-pad
// query while another TEF operation runs). For those the client sends a "fence" right after
// the request: a "/version" request, which is always answered and, because the service
// handles one message of a connection after the other, answered only after the request
// before it has been handled.
import { Dialogue } from './dialogue.js';
import { RequestIgnoredError, ServiceError } from './errors.js';

// The fence of a request that may get no reply, and the one that settles the connection
// after such a request. Different categories keep their replies apart.
export const FENCE = Object.freeze({ route: '/version', type: 'version', category: 'service_exe' });
export const SETTLE = Object.freeze({ route: '/version', type: 'version', category: 'clisitef_dll' });

const TRANSACTION_IGNORED = 'O serviço não iniciou a operação: há outra operação TEF em andamento.';

const isReplyTo = (message, fence) => message.type === 'version' && message.category === fence.category;

class Operation {
  #resolve;
  #reject;
  done = false;

  constructor(request) {
    this.request = request;
    this.promise = new Promise((resolve, reject) => {
      this.#resolve = resolve;
      this.#reject = reject;
    });
  }

  // After a request whose fence may still be answered the connection needs settling.
  get leavesUnsettled() {
    return false;
  }

  get isTransaction() {
    return false;
  }

  start(send) {
    send(this.request);
  }

  // Takes a message that arrived while this operation is current; false when it is none of
  // its business.
  receive() {
    return false;
  }

  // The connection ended: `error` says how.
  abort(error) {
    this.fail(error);
  }

  succeed(value) {
    this.done = true;
    this.#resolve(value);
  }

  fail(error) {
    this.done = true;
    this.#reject(error);
  }
}

// A request answered by one reply of `replyType` (or an error). Prompts before the reply go to
// the dialogue: a session start may run the payment library's start-up.
export class ReplyOperation extends Operation {
  #replyType;
  #dialogue;
  #matches;

  constructor(request, replyType, { dialogue = null, matches = () => true } = {}) {
    super(request);
    this.#replyType = replyType;
    this.#dialogue = dialogue;
    this.#matches = matches;
  }

  receive(message) {
    if (message.type === 'error') {
      this.fail(new ServiceError([message.message], this.request));
    } else if (message.type === this.#replyType && this.#matches(message)) {
      this.succeed(message);
    } else if (this.#dialogue && Dialogue.isPrompt(message)) {
      this.#dialogue.deliver(message);
    } else {
      return false;
    }
    return true;
  }

  succeed(value) {
    this.#dialogue?.end();
    super.succeed(value);
  }

  fail(error) {
    this.#dialogue?.end();
    super.fail(error);
  }
}

// A request the service drops while another TEF operation runs: its fence answered before
// anything of the request's own means it was dropped. Otherwise the fence is either read (and
// consumed) by the operation's dialogue or answered after it, so the connection is settled
// before the next request.
export class IgnorableOperation extends ReplyOperation {
  #ignoredText;
  #heard = false;
  #ignored = false;

  constructor(request, replyType, ignoredText, options) {
    super(request, replyType, options);
    this.#ignoredText = ignoredText;
  }

  get leavesUnsettled() {
    return !this.#ignored;
  }

  start(send) {
    send(this.request);
    send(FENCE);
  }

  receive(message) {
    if (isReplyTo(message, FENCE)) {
      if (this.#heard) return true;  // answered after the operation's own messages
      this.#ignored = true;
      this.fail(new RequestIgnoredError(this.#ignoredText));
      return true;
    }
    this.#heard = true;
    return super.receive(message);
  }
}

// "/transaction": a payment, cancellation or reprint with its dialogue. It ends with a
// "result" (or an error), after which the service may still send a second result (a
// cancellation asked for just before an approval is reported as "unauthorized" and then
// "canceled") before it reads the next message. So the result settles the connection first
// (the SETTLE fence), and the last result received is the outcome. Dropped like any
// IgnorableOperation when another operation runs.
export class TransactionOperation extends Operation {
  #dialogue;
  #settleTimeoutMs;
  #send;
  #heard = false;
  #ending = null;
  #timer;
  #settled = false;

  constructor(request, dialogue, settleTimeoutMs) {
    super(request);
    this.#dialogue = dialogue;
    this.#settleTimeoutMs = settleTimeoutMs;
  }

  get isTransaction() {
    return true;
  }

  // Not settled: its fence may still be answered, or the service was still busy with it.
  get leavesUnsettled() {
    return this.#heard && !this.#settled;
  }

  start(send) {
    this.#send = send;
    send(this.request);
    send(FENCE);
  }

  receive(message) {
    if (isReplyTo(message, FENCE)) {
      if (!this.#heard) this.fail(new RequestIgnoredError(TRANSACTION_IGNORED));
      return true;
    }
    this.#heard = true;
    if (isReplyTo(message, SETTLE)) {
      // Only this operation's own settling is answered now (the connection was settled before).
      if (this.#ending) {
        this.#settled = true;
        this.#end();
      }
    } else if (message.type === 'result') {
      // A result after the first replaces it; an error after a result changes nothing.
      if (!this.#ending?.result) this.#settle({ result: message });
      else this.#ending.result = message;
    } else if (message.type === 'error') {
      this.#settle(this.#ending ?? { error: new ServiceError([message.message], this.request) });
    } else if (Dialogue.isPrompt(message)) {
      this.#dialogue.deliver(message);
    } else {
      return false;
    }
    return true;
  }

  abort(error) {
    // A result that came before the connection went is the outcome all the same.
    if (this.#ending?.result) this.#end();
    else this.fail(error);
  }

  succeed(value) {
    this.#stop();
    super.succeed(value);
  }

  fail(error) {
    this.#stop();
    super.fail(error);
  }

  #settle(ending) {
    const first = this.#ending === null;
    this.#ending = ending;
    if (!first) return;
    this.#send(SETTLE);
    // Past this the outcome is known all the same; the next request settles again.
    this.#timer = setTimeout(() => this.#end(), this.#settleTimeoutMs);
  }

  #end() {
    if (this.#ending?.result) this.succeed(this.#ending.result);
    else this.fail(this.#ending?.error ?? new RequestIgnoredError(TRANSACTION_IGNORED));
  }

  #stop() {
    clearTimeout(this.#timer);
    this.#dialogue.end();
  }
}

// "/transaction/status": answered by the kept result, or a status naming the request id
// ("in_progress", "unknown"), or an error.
export class StatusOperation extends Operation {
  receive(message) {
    if (message.type === 'error') {
      this.fail(new ServiceError([message.message], this.request));
    } else if (
      message.type === 'result' ||
      (message.type === 'status' && message.request_id === this.request.request_id)
    ) {
      this.succeed(message);
    } else {
      return false;
    }
    return true;
  }
}

// "/print": an accepted document gets no reply, a refused one one or two errors. Done when
// the fence is answered.
export class PrintOperation extends Operation {
  #errors = [];

  start(send) {
    send(this.request);
    send(FENCE);
  }

  receive(message) {
    if (message.type === 'error') {
      this.#errors.push(message.message);
    } else if (isReplyTo(message, FENCE)) {
      if (this.#errors.length) this.fail(new ServiceError(this.#errors, this.request));
      else this.succeed({ status: 'queued' });
    } else {
      return false;
    }
    return true;
  }
}

// Waits until every message of earlier requests has arrived: replies to fences nobody waits
// for any more are dropped, anything else is not taken (the client reports it). Fails after
// `timeoutMs` (the service still runs an earlier operation).
export class SettleOperation extends Operation {
  #timer;
  #timeoutMs;
  #timeoutText;

  constructor(timeoutMs, timeoutText) {
    super(SETTLE);
    this.#timeoutMs = timeoutMs;
    this.#timeoutText = timeoutText;
  }

  start(send) {
    send(this.request);
    this.#timer = setTimeout(() => this.fail(new RequestIgnoredError(this.#timeoutText)), this.#timeoutMs);
  }

  receive(message) {
    if (isReplyTo(message, SETTLE)) {
      clearTimeout(this.#timer);
      this.succeed();
      return true;
    }
    return isReplyTo(message, FENCE);
  }

  abort(error) {
    clearTimeout(this.#timer);
    super.abort(error);
  }
}
