// The payment terminal area of the page: shows the prompts of a running operation and turns
// the operator's clicks into the answers the client sends.
import { BACK, GIVE_UP, splitOption } from '../client/index.js';
import { qrImageUrl } from './qr.js';

function button(text, className, onClick) {
  const element = document.createElement('button');
  element.type = 'button';
  element.className = className;
  element.textContent = text;
  element.addEventListener('click', onClick);
  return element;
}

function heading(text) {
  const element = document.createElement('p');
  element.className = 'prompt-title';
  element.textContent = text;
  return element;
}

export class Terminal {
  #message;
  #prompt;
  #qrcode;
  #cancel;
  #onReceipt;

  // elements: {message, prompt, qrcode, cancel}; onCancel(): the operator asked to cancel;
  // onReceipt(prompt): a receipt copy the library printed.
  constructor(elements, { onCancel, onReceipt }) {
    this.#message = elements.message;
    this.#prompt = elements.prompt;
    this.#qrcode = elements.qrcode;
    this.#cancel = elements.cancel;
    this.#onReceipt = onReceipt;
    this.#cancel.addEventListener('click', () => {
      this.#cancel.disabled = true;
      onCancel();
    });
  }

  // The client's prompt handlers.
  get handlers() {
    return {
      message: (prompt) => this.show(prompt.message),
      menu: (prompt, context) => this.#menu(prompt, context),
      collect: (prompt, context) => this.#collect(prompt, context),
      question: (prompt, context) => this.#question(prompt, context),
      confirmation: (prompt, context) => this.#confirmation(prompt, context),
      qrcode: (prompt) => this.#showQrCode(prompt.data),
      can_cancel: (prompt) => this.#showCancel(prompt.can_cancel),
      receipt: (prompt) => this.#onReceipt(prompt),
    };
  }

  show(text) {
    this.#message.textContent = text;
  }

  // Back to idle after an operation.
  reset(text = 'Caixa livre') {
    this.show(text);
    this.#prompt.replaceChildren();
    this.#qrcode.hidden = true;
    this.#qrcode.removeAttribute('src');
    this.#showCancel(false);
  }

  #showQrCode(data) {
    this.#qrcode.src = qrImageUrl(data);
    this.#qrcode.hidden = false;
  }

  #showCancel(visible) {
    this.#cancel.hidden = !visible;
    this.#cancel.disabled = false;
  }

  // Shows `parts` and resolves with what the operator chose; cleared when answered or when
  // the operation ended meanwhile.
  #ask(kind, parts, { signal }, wire) {
    return new Promise((resolve) => {
      const box = document.createElement('div');
      box.className = `prompt-box prompt-${kind}`;
      box.append(...parts);
      const answer = (value) => {
        this.#prompt.replaceChildren();
        resolve(value);
      };
      wire(box, answer);
      this.#prompt.replaceChildren(box);
      box.querySelector('input, button')?.focus();
      signal.addEventListener('abort', () => answer(GIVE_UP), { once: true });
    });
  }

  #escapeButtons(answer) {
    const row = document.createElement('div');
    row.className = 'row';
    row.append(
      button('Voltar', 'btn btn-ghost', () => answer(BACK)),
      button('Cancelar', 'btn btn-ghost', () => answer(GIVE_UP)),
    );
    return row;
  }

  #menu(prompt, context) {
    const options = document.createElement('div');
    options.className = 'options';
    return this.#ask('menu', [heading(prompt.title), options], context, (box, answer) => {
      for (const line of prompt.options) {
        const { code, text } = splitOption(line);
        const choice = button(text, 'option', () => answer(line));
        choice.dataset.code = code;
        options.append(choice);
      }
      box.append(this.#escapeButtons(answer));
    });
  }

  #collect(prompt, context) {
    const form = document.createElement('form');
    const input = document.createElement('input');
    input.name = 'response';
    input.autocomplete = 'off';
    if (prompt.maximum_size > 0) input.maxLength = prompt.maximum_size;
    if (prompt.minimum_size > 0) input.minLength = prompt.minimum_size;
    input.inputMode = prompt.field_operation === 'currency' ? 'decimal' : 'text';
    const ok = document.createElement('button');
    ok.type = 'submit';
    ok.className = 'btn';
    ok.textContent = 'OK';
    form.append(input, ok);
    return this.#ask('collect', [heading(prompt.title), form], context, (box, answer) => {
      form.addEventListener('submit', (event) => {
        event.preventDefault();
        answer(input.value);
      });
      box.append(this.#escapeButtons(answer));
    });
  }

  #question(prompt, context) {
    const options = document.createElement('div');
    options.className = 'row';
    return this.#ask('question', [heading(prompt.message), options], context, (box, answer) => {
      for (const option of prompt.options) {
        options.append(button(option, option === 'Sim' ? 'btn' : 'btn btn-ghost', () => answer(option)));
      }
    });
  }

  #confirmation(prompt, context) {
    return this.#ask('confirmation', [heading(prompt.message)], context, (box, answer) => {
      box.append(button('OK', 'btn', () => answer(undefined)));
    });
  }
}
