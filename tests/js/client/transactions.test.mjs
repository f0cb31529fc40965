// Payments, cancellations and reprints through the client against the real service and the
// simulated library's demo scenario: the prompts reach the handlers, their return values reach
// the library as answers, and every way an operation can end reaches the caller.
import assert from 'node:assert/strict';
import { before, describe, test } from 'node:test';
import { BACK, FunctionCode, GIVE_UP } from '../../../clients/js/src/index.js';
import { AppFolder, waitUntil } from '../support/app-folder.mjs';
import { recordingHandlers, sessionClient } from '../support/client.mjs';
import { watchConsole } from '../support/console.mjs';
import { serviceForSuite } from '../support/suite.mjs';

const CANCEL_QUESTION = 'Deseja realmente cancelar esta operação?';

// What the library received as answers to its prompts.
const answersSent = (app) =>
  app
    .journal()
    .filter((line) => line.startsWith('ContinuaFuncaoSiTefInterativo continua=0 buffer="') && !line.includes('buffer=""'))
    .map((line) => /buffer="([^"]*)"/.exec(line)[1]);

const typesOf = (seen) => seen.map((prompt) => prompt.type);

describe('transactions', () => {
  const suite = serviceForSuite({ client: 'session' });
  let app;
  let client;
  before(() => ({ app, client } = suite));

  test('credit in instalments: through the library\'s menus, or with the menus answered by the service', async () => {
    const cases = [
      {
        name: 'the library asks everything',
        payment: { operation: FunctionCode.PAYMENT_MENU, amount: 125.9, payerName: 'Maria' },
        answers: {
          menu: ['Cartao de Credito', 'Digitado', 'Parcelado pela Loja'],
          collect: ['4111111111111111', '1230', '123', 3],
        },
        fields: [512, 513, 514, 505],
        sent: ['1', '2', '4111111111111111', '1230', '123', '2', '3'],
      },
      {
        name: 'credit with the instalments in the request',
        payment: { operation: FunctionCode.CREDIT, amount: '125,90', payerName: 'Maria', installments: 3 },
        answers: {},
        fields: [],
        sent: ['1', '2', '03'],
      },
    ];
    for (const { name, payment, answers, fields, sent } of cases) {
      const before = answersSent(app).length;
      const { handlers, seen } = recordingHandlers(answers);
      const result = await client.pay(payment, handlers);

      assert.equal(result.status, 'approved', `${name}: ${JSON.stringify(result)}`);
      assert.equal(result.message, 'Transação TEF concluída com sucesso.');
      const [entry] = result.transaction_data;
      assert.equal(entry.operation, 'credit', name);
      assert.equal(entry.payer_name, 'Maria', name);
      assert.equal(entry.number_of_installments, 3, name);
      assert.equal(entry.transaction_value, 125.9, name);
      assert.match(entry.transaction_date_time, /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$/, name);
      assert.deepEqual(entry.receipt.map((copy) => copy.copy_number), [1, 2], name);
      const customer = entry.receipt[0].data.join('\n');
      assert.match(customer, /EM 0?3 PARCELAS/, name);
      assert.match(customer, /VALOR: R\$ 125,90[\s\S]*VIA DO CLIENTE/, name);
      assert.match(entry.receipt[1].data.join('\n'), /VIA DO ESTABELECIMENTO/, name);

      assert.deepEqual(seen.filter((p) => p.type === 'collect').map((p) => p.field_type), fields, name);
      assert.ok(seen.some((p) => p.type === 'can_cancel' && p.can_cancel === true), name);
      assert.deepEqual(answersSent(app).slice(before), sent, name);
      assert.equal(client.canCancel, false, name);
    }
  });

  test('a typed card\'s number, expiry date and security code go to the library, never to the console', async () => {
    const typed = ['4111111111111111', '0931', '8642'];
    const before = answersSent(app).length;
    const watch = watchConsole();
    let result;
    try {
      const { handlers } = recordingHandlers({
        menu: ['Cartao de Credito', 'Digitado', 'A Vista'],
        collect: typed,
        // A handler that fails is reported to the caller's event, not written anywhere.
        message: () => {
          throw new Error('tela indisponível');
        },
      });
      result = await client.pay({ operation: FunctionCode.PAYMENT_MENU, amount: '15,00', payerName: 'Ana' }, handlers);
    } finally {
      watch.stop();
    }
    assert.equal(result.status, 'approved', JSON.stringify(result));
    assert.deepEqual(answersSent(app).slice(before), ['1', '2', ...typed, '1']);
    for (const value of typed) {
      assert.ok(!watch.texts.some((text) => text.includes(value)), `${value} was written: ${watch.texts.join('')}`);
    }
  });

  test('back and give up at prompts, answered by the cancel confirmation', async () => {
    const menu = { operation: FunctionCode.PAYMENT_MENU, amount: 20, payerName: 'Ana' };
    // Back from the card number shows the card menu again; the chip path then pays at sight.
    const back = recordingHandlers({
      menu: ['Cartao de Credito', 'Digitado', 'Magnetico/Chip', 'A Vista'],
      collect: [BACK],
    });
    const paid = await client.pay(menu, back.handlers);
    assert.equal(paid.status, 'approved');
    const menus = back.seen.filter((prompt) => prompt.type === 'menu');
    assert.equal(menus.length, 4);
    assert.deepEqual(menus[2].options, menus[1].options);

    // Giving up a field asks the cancel confirmation: "Não" asks the field again, "Sim" stops
    // the operation.
    for (const [confirm, status] of [
      [false, 'approved'],
      [true, 'canceled'],
    ]) {
      const { handlers, seen } = recordingHandlers({
        menu: ['Cartao de Credito', 'Digitado', 'A Vista'],
        collect: [GIVE_UP, '4111111111111111', '1230', '123'],
        question: [confirm],
      });
      const result = await client.pay(menu, handlers);
      assert.equal(seen.find((prompt) => prompt.type === 'question')?.message, CANCEL_QUESTION);
      assert.equal(result.status, status, JSON.stringify(seen));
    }
  });

  test('a payment waiting for the authoriser is cancelled from the client', async () => {
    let sent;
    const { handlers, seen } = recordingHandlers({
      can_cancel: (prompt) => {
        if (prompt.can_cancel && sent === undefined) sent = client.cancelTransaction();
      },
    });
    // The demo library waits without end on amounts ending in ,52.
    const result = await client.pay({ operation: FunctionCode.DEBIT, amount: '10,52', payerName: 'Rui' }, handlers);
    assert.equal(sent, true);
    assert.equal(result.status, 'canceled');
    const reason = seen.find((prompt) => prompt.type === 'confirmation');
    assert.ok(reason?.message, JSON.stringify(seen));
    assert.ok(typesOf(seen).indexOf('confirmation') > typesOf(seen).indexOf('can_cancel'));
    assert.equal(client.cancelTransaction(), false, 'no transaction runs any more');
  });

  test('a payment the authoriser declines ends with the reason and a negative result', async () => {
    const { handlers, seen } = recordingHandlers();
    // The demo library declines amounts ending in ,51.
    const result = await client.pay({ operation: FunctionCode.PIX, amount: '10,51', payerName: 'Rui' }, handlers);
    assert.notEqual(result.status, 'approved');
    assert.equal(result.transaction_data, undefined);
    const reason = seen.find((prompt) => prompt.type === 'confirmation');
    assert.match(reason?.message ?? '', /Negada/i, JSON.stringify(seen));
  });

  test('a payment is cancelled by its NSU and its receipt reprinted', async () => {
    const paid = await client.pay({ operation: FunctionCode.DEBIT, amount: '33,10', payerName: 'Lia' });
    assert.equal(paid.status, 'approved');
    const [payment] = paid.transaction_data;

    const { handlers, seen } = recordingHandlers({ question: [true] });
    const cancelled = await client.cancelPayment(
      { nsu: payment.nsu_code, date: new Date(payment.transaction_date_time), amount: payment.transaction_value },
      handlers,
    );
    assert.equal(cancelled.status, 'approved', JSON.stringify({ cancelled, seen }));
    const [cancellation] = cancelled.transaction_data;
    assert.equal(cancellation.operation, 'cancellation');
    assert.equal(cancellation.canceled_nsu, payment.nsu_code);
    assert.match(cancellation.receipt[0].data.join('\n'), /CANCELAMENTO/);
    assert.match(seen.find((prompt) => prompt.type === 'question').message, /33,10/);

    const again = await client.cancelPayment(
      { nsu: payment.nsu_code, date: new Date(payment.transaction_date_time), amount: payment.transaction_value },
      recordingHandlers({ question: [true] }).handlers,
    );
    assert.notEqual(again.status, 'approved', 'a payment is cancelled once');

    const reprinted = await client.reprint();
    assert.equal(reprinted.status, 'approved');
    const [copy] = reprinted.transaction_data;
    assert.deepEqual(Object.keys(copy), ['sale_id', 'operation', 'receipt']);
    assert.equal(copy.operation, 'reprint');
    assert.match(copy.receipt[0].data.join('\n'), /VIA DO CLIENTE/);
  });

  test('requests the service refuses reject with its texts, and the client stays in step', async () => {
    const cases = [
      [() => client.pay({ operation: FunctionCode.CREDIT, amount: 0, payerName: 'Ana' }), 'Valor inválido'],
      [() => client.pay({ operation: FunctionCode.CREDIT, amount: 5 }), 'Campo payer_name nao encontrado.'],
      [
        () => client.cancelPayment({ nsu: '  ', date: '2025-11-26', amount: 5 }),
        'O campo "cancellation_nsu" não foi preenchido.',
      ],
      [
        () => client.cancelPayment({ nsu: '12', date: '26/11/2025', amount: 5 }),
        'O campo "transaction_date" não foi preenchido corretamente.',
      ],
    ];
    for (const [request, text] of cases) {
      await assert.rejects(request(), { name: 'ServiceError', message: text });
      assert.equal((await client.version()).category, 'service_exe');
    }
  });
});

describe('operations of two clients and lost connections', () => {
  const suite = serviceForSuite();
  let app;
  before(() => ({ app } = suite));

  test('while one client pays, the service drops the other\'s requests and says nothing', async () => {
    const first = await sessionClient(app);
    const second = await sessionClient(app);
    try {
      let menuShown;
      let release;
      const shown = new Promise((resolve) => (menuShown = resolve));
      const firstPayment = first.pay(
        { operation: FunctionCode.PAYMENT_MENU, amount: 10, payerName: 'Ana' },
        {
          menu: () => {
            menuShown();
            return new Promise((resolve) => (release = resolve));
          },
          question: () => true,
        },
      );
      await shown;
      await assert.rejects(second.pinpadStatus(), { name: 'RequestIgnoredError' });
      await assert.rejects(
        second.pay({ operation: FunctionCode.DEBIT, amount: 10, payerName: 'Rui' }),
        { name: 'RequestIgnoredError' },
      );
      release(GIVE_UP);
      assert.notEqual((await firstPayment).status, 'approved');
      assert.deepEqual(await second.pinpadStatus(), { type: 'status', status: 'connected', message: 'PinPad conectado' });
    } finally {
      first.close();
      second.close();
    }
  });

  test('a connection lost during a payment fails it with an unknown outcome', async () => {
    const client = await sessionClient(app);
    let aborted;
    const payment = client.pay(
      { operation: FunctionCode.PAYMENT_MENU, amount: 10, payerName: 'Ana' },
      {
        menu: (prompt, { signal }) => {
          app.signal('SIGUSR1');  // pausing closes every connection
          return new Promise((resolve) => signal.addEventListener('abort', () => resolve((aborted = true))));
        },
      },
    );
    await assert.rejects(payment, (error) => {
      assert.equal(error.name, 'ConnectionClosedError');
      assert.equal(error.outcomeUnknown, true);
      assert.match(error.message, /resultado/);
      return true;
    });
    assert.equal(aborted, true);
    assert.equal(client.connected, false);
    assert.equal(client.cancelTransaction(), false);

    app.signal('SIGUSR2');
    assert.ok(await waitUntil(() => client.connect().then(() => true, () => false)));
    // The service ended the abandoned operation: the next one runs.
    const result = await client.pay({ operation: FunctionCode.DEBIT, amount: 7, payerName: 'Ana' });
    assert.equal(result.status, 'approved');
    client.close();
  });
});

describe('PIN pad', () => {
  test('connected and not connected, as the library reports', async () => {
    for (const [present, reply] of [
      [1, { status: 'connected', message: 'PinPad conectado' }],
      [0, { status: 'disconnected', message: 'Nenhum PinPad conectado' }],
    ]) {
      const app = new AppFolder();
      app.writeScenario({ pinpad_present: present });
      await app.start();
      const client = await sessionClient(app);
      try {
        assert.deepEqual(await client.pinpadStatus(), { type: 'status', ...reply });
      } finally {
        client.close();
        await app.remove();
      }
    }
  });
});
