// The prompts of one running operation: each goes to the handler of its type; for prompts the
// service waits on, the handler's return value (or its promise's) becomes the answer.
import { ANSWERED_PROMPTS, GIVE_UP, NOTICES, answerFor } from './answers.js';

export class Dialogue {
  #handlers;
  #sendAnswer;
  #reportError;
  #pending = Promise.resolve();
  #ended = new AbortController();

  // handlers: { menu, collect, question, confirmation, message, qrcode, can_cancel, receipt }
  // sendAnswer(answer): sends it; reportError(error): a handler failed.
  constructor(handlers, sendAnswer, reportError) {
    this.#handlers = handlers;
    this.#sendAnswer = sendAnswer;
    this.#reportError = reportError;
  }

  static isPrompt(message) {
    return ANSWERED_PROMPTS.has(message.type) || NOTICES.has(message.type);
  }

  // Answers go out in the order the prompts came, even when a handler takes its time.
  deliver(prompt) {
    if (NOTICES.has(prompt.type)) {
      this.#call(prompt).catch(this.#reportError);
      return;
    }
    this.#pending = this.#pending.then(() => this.#answer(prompt));
  }

  // No answer is sent after this; handlers still waiting see their signal aborted.
  end() {
    this.#ended.abort();
  }

  async #call(prompt) {
    const handler = this.#handlers[prompt.type];
    return handler ? handler(prompt, { signal: this.#ended.signal }) : undefined;
  }

  // A prompt without a handler, or whose handler fails, is given up: the service then asks
  // (or decides) whether to cancel, so the operation never hangs on the client.
  async #answer(prompt) {
    let value;
    try {
      value = this.#handlers[prompt.type] ? await this.#call(prompt) : GIVE_UP;
    } catch (error) {
      this.#reportError(error);
      value = GIVE_UP;
    }
    if (!this.#ended.signal.aborted) this.#sendAnswer(answerFor(prompt, value));
  }
}
