// What a prompt handler returns, turned into the answer the service expects.

// Returned by a "menu" or "collect" handler: go back one step.
export const BACK = Symbol('back');
// Returned by a "menu" or "collect" handler: make no choice. The service then asks whether
// the operation should be cancelled ("Deseja realmente cancelar esta operação?").
export const GIVE_UP = Symbol('give up');

// Prompts the service waits on, and prompts that only inform.
export const ANSWERED_PROMPTS = new Set(['menu', 'collect', 'question', 'confirmation']);
export const NOTICES = new Set(['message', 'qrcode', 'can_cancel', 'receipt']);

// Menu options are "code:text" lines: "1:Magnetico/Chip".
export function splitOption(line) {
  const colon = line.indexOf(':');
  return colon < 0 ? { code: '', text: line } : { code: line.slice(0, colon), text: line.slice(colon + 1) };
}

// A menu answer names the whole option line. The handler may return the line, its code, its
// text, its index in `options`, BACK or GIVE_UP; any other text is sent as it stands (and
// abandons the operation when the service finds no such option).
function menuAnswer(prompt, value) {
  if (value === BACK) return { type: 'menu', response: '', back_menu: true };
  if (value === GIVE_UP || value === null || value === undefined) {
    return { type: 'menu', response: '', back_menu: false };
  }
  const options = prompt.options ?? [];
  if (typeof value === 'number') return { type: 'menu', response: options[value] ?? String(value) };
  const text = String(value);
  const line =
    options.find((option) => option === text) ??
    options.find((option) => splitOption(option).code === text) ??
    options.find((option) => splitOption(option).text === text);
  return { type: 'menu', response: line ?? text };
}

function collectAnswer(value) {
  if (value === BACK) return { type: 'collect', typed: false, back_menu: true };
  if (value === GIVE_UP || value === null || value === undefined) {
    return { type: 'collect', typed: false, back_menu: false };
  }
  return { type: 'collect', typed: true, response: String(value) };
}

// true/false stand for "Sim"/"Não"; other options ("Reimprimir") are returned as text. No
// answer is sent as an acknowledgement, which counts as neither yes nor no (and lets a
// pending cancellation stand).
function questionAnswer(value) {
  if (value === true) return { type: 'question', response: 'Sim' };
  if (value === false) return { type: 'question', response: 'Não' };
  if (value === null || value === undefined || value === GIVE_UP) return { type: 'confirmation' };
  return { type: 'question', response: String(value) };
}

// The answer to an ANSWERED_PROMPTS prompt, without route and session.
export function answerFor(prompt, value) {
  switch (prompt.type) {
    case 'menu':
      return menuAnswer(prompt, value);
    case 'collect':
      return collectAnswer(value);
    case 'question':
      return questionAnswer(value);
    default:
      return { type: 'confirmation' };
  }
}
