// The payments of this page's session, each with a button to cancel it.
import { formatMoney, formatTime } from './format.js';
import { OPERATION_TEXT, STATUS_TEXT } from './result.js';

export class History {
  #body;
  #onCancel;
  #rows = new Map();

  // onCancel(payment): the operator wants this payment cancelled.
  constructor(table, { onCancel }) {
    this.#body = table.tBodies[0];
    this.#onCancel = onCancel;
  }

  // entry: an approved payment's transaction data.
  add(entry) {
    const row = this.#body.insertRow(0);
    row.dataset.nsu = entry.nsu_code;
    const cells = [
      formatTime(new Date(entry.transaction_date_time)),
      OPERATION_TEXT[entry.operation] ?? entry.operation,
      entry.nsu_code,
      formatMoney(entry.transaction_value),
      STATUS_TEXT.approved,
    ];
    for (const text of cells) row.insertCell().textContent = text;
    row.cells[3].className = 'num';
    const cancel = document.createElement('button');
    cancel.type = 'button';
    cancel.className = 'btn btn-small btn-ghost';
    cancel.textContent = 'Cancelar';
    cancel.addEventListener('click', () => this.#onCancel(entry));
    row.insertCell().append(cancel);
    this.#rows.set(entry.nsu_code, row);
  }

  markCancelled(nsu) {
    const row = this.#rows.get(nsu);
    if (!row) return;
    row.cells[4].textContent = STATUS_TEXT.canceled;
    row.classList.add('cancelled');
    row.cells[5].replaceChildren();
  }
}
