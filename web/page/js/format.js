// Money and dates as a Brazilian shop shows them.

const money = new Intl.NumberFormat('pt-BR', { style: 'currency', currency: 'BRL' });
const dateTime = new Intl.DateTimeFormat('pt-BR', { dateStyle: 'short', timeStyle: 'medium' });
const time = new Intl.DateTimeFormat('pt-BR', { timeStyle: 'short' });

export const formatMoney = (value) => money.format(value);
export const formatDateTime = (date) => dateTime.format(date);
export const formatTime = (date) => time.format(date);

// "10,50", "10.50" or "1.234,56" → 10.5; NaN for anything else.
export function parseAmount(text) {
  let value = String(text).trim().replace(/^R\$\s*/, '');
  if (value.includes(',')) value = value.replace(/\./g, '').replace(',', '.');
  return /^\d+(\.\d{1,2})?$/.test(value) ? Number(value) : NaN;
}

// The form's date input value of a date, in local time.
export function dateInputValue(date) {
  const pad = (n) => String(n).padStart(2, '0');
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
}
