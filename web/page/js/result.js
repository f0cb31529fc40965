// The outcome of an operation: status, transaction data and both receipt copies.
import { formatDateTime, formatMoney } from './format.js';

export const STATUS_TEXT = { approved: 'Aprovada', canceled: 'Cancelada', unauthorized: 'Não autorizada' };
export const OPERATION_TEXT = {
  credit: 'Crédito',
  debit: 'Débito',
  pix: 'PIX',
  cancellation: 'Cancelamento',
  reprint: 'Reimpressão',
};
const COPY_TEXT = { 1: 'Via do cliente', 2: 'Via do estabelecimento' };

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

// The rows shown for an entry of "transaction_data", in this order, when present (the
// instalments only for more than one).
const FIELDS = [
  ['operation', 'Operação', (v) => OPERATION_TEXT[v] ?? v],
  ['payment_method_description', 'Modalidade'],
  ['card_number', 'Cartão'],
  ['number_of_installments', 'Parcelas', String, (v) => v > 1],
  ['transaction_value', 'Valor', formatMoney],
  ['nsu_code', 'NSU'],
  ['canceled_nsu', 'NSU cancelado'],
  ['authorization_code', 'Autorização'],
  ['operator', 'Rede'],
  ['transaction_date_time', 'Data e hora', (v) => formatDateTime(new Date(v))],
  ['payer_name', 'Cliente'],
];

function dataTable(entry) {
  const table = element('dl', 'data');
  for (const [key, label, format = String, shown = (v) => v !== undefined && v !== ''] of FIELDS) {
    if (!shown(entry[key])) continue;
    table.append(element('dt', '', label), element('dd', '', format(entry[key])));
    table.lastChild.dataset.field = key;
  }
  return table;
}

// reason: what the library said when the operation failed (empty when approved).
export function renderResult(container, result, reason = '') {
  const status = element('p', `status status-${result.status}`, STATUS_TEXT[result.status] ?? result.status);
  status.dataset.status = result.status;
  const parts = [status, element('p', 'status-message', result.message)];
  if (reason && result.status !== 'approved') parts.push(element('p', 'status-reason', reason));
  for (const entry of result.transaction_data ?? []) parts.push(dataTable(entry));
  container.replaceChildren(...parts);
}

// copies: [{copy_number, data: [lines]}]
export function renderReceipts(container, copies) {
  container.replaceChildren(
    ...copies.map((copy) => {
      const figure = element('figure', 'paper');
      figure.dataset.copy = copy.copy_number;
      figure.append(
        element('figcaption', '', COPY_TEXT[copy.copy_number] ?? `Via ${copy.copy_number}`),
        element('pre', '', copy.data.join('\n')),
      );
      return figure;
    }),
  );
}
