// The demo point of sale: connects to the service, opens a session and takes payments,
// cancellations and reprints through the client module. Each operation carries a request id,
// so one whose connection drops still ends with its outcome once the service is back.
import { FunctionCode, QuorvexTefClient, newRequestId } from '../client/index.js';
import { dateInputValue, formatTime, parseAmount } from './format.js';
import { History } from './history.js';
import { renderReceipts, renderResult } from './result.js';
import { Terminal } from './terminal.js';

const $ = (id) => document.getElementById(id);
// "menu" lets the payment library ask for the form of payment.
const METHODS = {
  credit: FunctionCode.CREDIT,
  debit: FunctionCode.DEBIT,
  pix: FunctionCode.PIX,
  menu: FunctionCode.PAYMENT_MENU,
};
const SALE_OPERATIONS = new Set(['credit', 'debit', 'pix']);
// The session survives a reload of the page (sessions outlive connections).
const SESSION_KEY = 'quorvex-tef-session';

let client = null;
let printedCopies = [];

const terminal = new Terminal(
  { message: $('terminal-message'), prompt: $('prompt'), qrcode: $('qrcode'), cancel: $('cancel-operation') },
  {
    onCancel: () => client?.cancelTransaction(),
    onReceipt: (copy) => {
      printedCopies.push(copy);
      renderReceipts($('receipts'), printedCopies);
    },
  },
);
const history = new History($('history'), {
  onCancel: (entry) =>
    cancelPayment({ nsu: entry.nsu_code, date: new Date(entry.transaction_date_time), amount: entry.transaction_value }),
});

function setPill(id, on, text) {
  $(id).textContent = text;
  $(id).className = `pill ${on ? 'pill-on' : 'pill-off'}`;
}

function showError(text) {
  $('error').textContent = text;
  $('error').hidden = !text;
}

function setBusy(busy) {
  document.body.classList.toggle('busy', busy);
  for (const control of document.querySelectorAll(
    '.setup button, .setup input, #sale-form button, #sale-form select, .history button',
  )) {
    control.disabled = busy;
  }
}

// Runs one request with the page locked; its failure is shown with the service's text.
async function operate(waitText, action) {
  if (!client?.connected) {
    showError('Conecte-se ao serviço TEF primeiro.');
    return undefined;
  }
  setBusy(true);
  showError('');
  terminal.reset(waitText);
  try {
    return await action();
  } catch (error) {
    showError(error.message);
    return undefined;
  } finally {
    setBusy(false);
    terminal.reset();
  }
}

function showResultHint(text) {
  const hint = document.createElement('p');
  hint.className = 'hint';
  hint.textContent = text;
  $('result').replaceChildren(hint);
}

function showSession(session) {
  if (session) {
    const expires = formatTime(new Date(session.expiration));
    setPill('session-state', true, `Terminal ${session.terminal_number}`);
    $('session-info').textContent = `Sessão aberta até ${expires}.`;
  } else {
    setPill('session-state', false, 'Sem sessão');
    $('session-info').textContent = '';
  }
}

function storedSession() {
  const session = JSON.parse(sessionStorage.getItem(SESSION_KEY) ?? 'null');
  return session && Date.parse(session.expiration) > Date.now() ? session : null;
}

// The client asks the service for the outcome of an operation whose connection dropped; a
// service that restarted needs a new session first, opened with the token of the page.
function showRecovery({ state }) {
  terminal.reset('Conexão perdida: consultando o resultado...');
  showResultHint('consultando o resultado...');
  if (state === 'session') startSession($('token').value.trim()).catch((error) => showError(error.message));
}

async function connect(url) {
  client?.close();
  client = new QuorvexTefClient({ url, handlers: terminal.handlers });
  let connectedText = 'Conectado';
  client.addEventListener('open', () => setPill('connection-state', true, connectedText));
  client.addEventListener('close', () => setPill('connection-state', false, 'Desconectado'));
  client.addEventListener('recovery', (event) => showRecovery(event.detail));
  client.addEventListener('handlererror', (event) => console.error(event.detail.error));
  await client.connect();
  const { version } = await client.version();
  connectedText = `Conectado · serviço ${version}`;
  setPill('connection-state', true, connectedText);
  const session = storedSession();
  client.useSession(session?.session_uuid);
  showSession(session);
}

async function startSession(token) {
  const session = await client.startSession(token);
  sessionStorage.setItem(SESSION_KEY, JSON.stringify(session));
  showSession(session);
}

async function finishSession() {
  await client.finishSession();
  sessionStorage.removeItem(SESSION_KEY);
  showSession(null);
}

function remember(result) {
  if (result.status !== 'approved') return;
  for (const entry of result.transaction_data ?? []) {
    if (SALE_OPERATIONS.has(entry.operation)) {
      history.add(entry);
      $('cancel-nsu').value = entry.nsu_code;
      $('cancel-date').value = dateInputValue(new Date(entry.transaction_date_time));
      $('cancel-amount').value = entry.transaction_value.toFixed(2).replace('.', ',');
    } else if (entry.operation === 'cancellation') {
      history.markCancelled(entry.canceled_nsu);
    }
  }
}

// A payment, cancellation or reprint: the terminal shows its prompts, the result panel its
// outcome (with the reason the library gave for a failure) and receipts (those of the
// result, or the copies printed on the way).
async function transact(waitText, start) {
  printedCopies = [];
  $('receipts').replaceChildren();
  // The last sale's approval must not stay on screen while the next one is undecided.
  showResultHint('Operação em andamento...');
  let reason = '';
  const handlers = terminal.handlers;
  const confirmation = handlers.confirmation;
  handlers.confirmation = (prompt, context) => {
    reason = prompt.message;
    return confirmation(prompt, context);
  };
  const result = await operate(waitText, () => start(handlers));
  if (!result) {
    showResultHint('Operação sem resultado.');
    return;
  }
  renderResult($('result'), result, reason);
  const copies = result.transaction_data?.flatMap((entry) => entry.receipt ?? []) ?? [];
  renderReceipts($('receipts'), copies.length ? copies : printedCopies);
  remember(result);
}

function pay(method) {
  const amount = parseAmount($('amount').value);
  if (Number.isNaN(amount) || amount <= 0) {
    showError('Informe um valor válido, por exemplo 10,50.');
    return;
  }
  // The instalments of a credit payment; the service answers the library's plan questions
  // with them (for the library's own menu it asks the operator).
  const installments = method === 'credit' ? Number($('installments').value) : undefined;
  transact('Iniciando o pagamento...', (handlers) =>
    client.pay(
      {
        operation: METHODS[method],
        amount,
        installments,
        payerName: $('payer-name').value.trim(),
        requestId: newRequestId(),
      },
      handlers,
    ),
  );
}

function cancelPayment({ nsu, date, amount }) {
  transact('Iniciando o cancelamento...', (handlers) =>
    client.cancelPayment({ nsu, date, amount, requestId: newRequestId() }, handlers),
  );
}

function wire() {
  const params = new URLSearchParams(location.search);
  $('service-url').value = params.get('service') ?? `wss://${location.hostname || 'localhost'}:8443`;
  $('token').value = params.get('token') ?? '';
  $('cancel-date').value = dateInputValue(new Date());

  $('connect-form').addEventListener('submit', (event) => {
    event.preventDefault();
    setBusy(true);
    showError('');
    connect($('service-url').value)
      .catch((error) => showError(error.message))
      .finally(() => setBusy(false));
  });
  $('session-form').addEventListener('submit', (event) => {
    event.preventDefault();
    operate('Abrindo a sessão...', () => startSession($('token').value.trim()));
  });
  $('finish-session').addEventListener('click', () => operate('Encerrando a sessão...', finishSession));
  $('sale-form').addEventListener('submit', (event) => {
    event.preventDefault();
    pay(event.submitter.value);
  });
  $('cancel-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const amount = parseAmount($('cancel-amount').value);
    if (Number.isNaN(amount)) {
      showError('Informe o valor da venda a cancelar, por exemplo 10,50.');
      return;
    }
    cancelPayment({ nsu: $('cancel-nsu').value.trim(), date: $('cancel-date').value, amount });
  });
  $('reprint-last').addEventListener('click', () =>
    transact('Reimprimindo...', (handlers) =>
      client.reprint({ operation: FunctionCode.REPRINT_LAST, requestId: newRequestId() }, handlers),
    ),
  );
  $('pinpad-status').addEventListener('click', async () => {
    const status = await operate('Consultando o PinPad...', () => client.pinpadStatus());
    if (status) {
      $('pinpad-result').textContent = status.message || 'O PinPad não respondeu.';
      $('pinpad-result').dataset.status = status.status;
    }
  });
  $('print-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    $('print-result').textContent = '';
    const queued = await operate('Enviando o documento...', () => client.print($('print-file').files[0]));
    if (queued) $('print-result').textContent = 'Documento na fila de impressão.';
  });
}

wire();
