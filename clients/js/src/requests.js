// The requests of the protocol, as the service reads them. Session identifiers and the
// route of answers are added by the client.

// Function codes of the payment library for "operation" (those the demo library answers).
export const FunctionCode = Object.freeze({
  PAYMENT_MENU: 0,
  DEBIT: 2,
  CREDIT: 3,
  PIX: 122,
  CANCELLATION: 200,
  ADMINISTRATIVE_MENU: 110,
  REPRINT_MENU: 112,
  REPRINT_SPECIFIC: 113,
  REPRINT_LAST: 114,
});

// Optional members are left out when not given: the service then keeps its own values.
function withOptional(message, optional) {
  for (const [key, value] of Object.entries(optional)) {
    if (value !== undefined && value !== null) message[key] = value;
  }
  return message;
}

const pad = (n) => String(n).padStart(2, '0');

// "yyyy-mm-dd hh:nn:ss" in local time, the form the service reads for the date of the
// transaction to cancel.
export function transactionDateText(date) {
  if (!(date instanceof Date)) return String(date);
  return (
    `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())} ` +
    `${pad(date.getHours())}:${pad(date.getMinutes())}:${pad(date.getSeconds())}`
  );
}

export const sessionStart = (token) => ({ route: '/session/start', type: 'session', token });
export const sessionFinish = () => ({ route: '/session/finish', type: 'session' });
export const initialize = () => ({ route: '/initialize', type: 'initialize' });
export const pinpadStatus = () => ({ route: '/pinpad/status', type: 'status' });
export const health = () => ({ route: '/health', type: 'health' });
export const cancelRequest = () => ({ route: '/transaction/cancel', type: 'cancellation' });

export function version(category, announced = {}) {
  return withOptional(
    { route: '/version', type: 'version', category },
    { version: announced.version, download_url: announced.downloadUrl },
  );
}

export const print = (data) => ({ route: '/print', type: 'print', file_type: 'pdf', data });

// Amounts may be numbers (10.5) or decimal texts ("10,50" or "10.50").
export function payment({ operation, payerName, amount, installments, saleId, requestId }) {
  return withOptional(
    { route: '/transaction', type: 'transaction', operation, payer_name: payerName },
    { sale_id: saleId, transaction_value: amount, number_of_installments: installments, request_id: requestId },
  );
}

export function cancellation({
  operation = FunctionCode.CANCELLATION,
  nsu,
  date,
  amount,
  installments,
  saleId,
  requestId,
}) {
  return withOptional(
    {
      route: '/transaction',
      type: 'cancellation',
      operation,
      cancellation_nsu: nsu,
      transaction_date: date === undefined ? undefined : transactionDateText(date),
    },
    { sale_id: saleId, transaction_value: amount, number_of_installments: installments, request_id: requestId },
  );
}

export function reprint({ operation = FunctionCode.REPRINT_LAST, requestId } = {}) {
  return withOptional({ route: '/transaction', type: 'reprint', operation }, { request_id: requestId });
}

export const transactionStatus = (requestId) => ({
  route: '/transaction/status',
  type: 'status',
  request_id: requestId,
});

// A fresh name for one sale attempt: a random UUID (36 characters the service accepts).
export function newRequestId() {
  const { crypto } = globalThis;
  if (crypto?.randomUUID) return crypto.randomUUID();
  // Browsers offer randomUUID only to secure pages; getRandomValues everywhere.
  if (!crypto?.getRandomValues) throw new TypeError('No crypto.getRandomValues here to make a request id.');
  const bytes = crypto.getRandomValues(new Uint8Array(16));
  bytes[6] = (bytes[6] & 0x0f) | 0x40;  // version 4
  bytes[8] = (bytes[8] & 0x3f) | 0x80;  // variant 1
  const hex = [...bytes].map((b) => b.toString(16).padStart(2, '0')).join('');
  return `${hex.slice(0, 8)}-${hex.slice(8, 12)}-${hex.slice(12, 16)}-${hex.slice(16, 20)}-${hex.slice(20)}`;
}

// A PDF for "/print": Base64 text (a data URL is fine) as it stands, or its bytes.
export async function pdfData(document) {
  if (typeof document === 'string') return document;
  if (typeof Blob !== 'undefined' && document instanceof Blob) {
    return bytesToBase64(new Uint8Array(await document.arrayBuffer()));
  }
  if (document instanceof ArrayBuffer) return bytesToBase64(new Uint8Array(document));
  if (ArrayBuffer.isView(document)) {
    return bytesToBase64(new Uint8Array(document.buffer, document.byteOffset, document.byteLength));
  }
  throw new TypeError('A PDF is Base64 text, a Blob, an ArrayBuffer or a typed array.');
}

function bytesToBase64(bytes) {
  const chunk = 0x8000;
  let binary = '';
  for (let i = 0; i < bytes.length; i += chunk) {
    binary += String.fromCharCode(...bytes.subarray(i, i + chunk));
  }
  return btoa(binary);
}
