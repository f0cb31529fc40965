// Transactions with a request id against the real service and the simulated library: the
// outcome kept by the service is asked for with transactionStatus(), and a payment whose
// connection drops before its result (cut as the result comes, the service killed after
// keeping it, a half-open connection while the payment still runs) resolves with it once the
// client is back, charged once. What ends a recovery without a result is told apart.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { before, describe, test } from 'node:test';
import { FunctionCode, GIVE_UP, newRequestId } from '../../../clients/js/src/index.js';
import { AppFolder, mintToken } from '../support/app-folder.mjs';
import { clientFor } from '../support/client.mjs';
import { FaultyNetwork } from '../support/faulty-network.mjs';
import { serviceForSuite } from '../support/suite.mjs';

// A debit behind one menu; after its answer the library approves without another word to the
// client. Function 3 is declined after the same menu.
const SCENARIO = {
  functions: { 2: 'debit', 3: 'declined' },
  flows: {
    debit: [
      { command: 21, options: [{ code: '1', text: 'Conta corrente' }, { code: '2', text: 'Poupanca' }] },
      { command: 0, field: 100, text: '0100' },
      { command: 0, field: 102, text: 'Débito' },
      { command: 0, field: 105, text: '20251126114841' },
      { command: 0, field: 133, text: '${nsu}' },
      { command: 0, field: 134, text: '${nsu_host}' },
      { command: 0, field: 135, text: '${auth}' },
      { command: 0, field: 156, text: 'REDE TESTE' },
      { command: 0, field: 2021, text: '400012******9010' },
      { command: 0, field: 121, text: 'VIA DO CLIENTE\nVALOR: R$ ${amount_br}' },
      { command: 0, field: 122, text: 'VIA DO ESTABELECIMENTO\nVALOR: R$ ${amount_br}' },
      { status: 0, record: 'payment' },
    ],
    declined: [{ command: 21, options: [{ code: '1', text: 'Conta corrente' }] }, { status: 5 }],
  },
};
const MENU_CHOICE = '1:Conta corrente';
const answerMenu = { menu: () => MENU_CHOICE, confirmation: () => undefined };
const debit = (requestId) => ({
  operation: FunctionCode.DEBIT,
  amount: '25,50',
  payerName: 'Ana',
  saleId: 4242,
  requestId,
});
const isTransaction = (message) => message.route === '/transaction' && message.type === 'transaction';

const journalCalls = (app, name) => app.journal().filter((line) => line.startsWith(`${name} `));
const started = (app) => journalCalls(app, 'IniciaFuncaoSiTefInterativo').length;
// confirma=1 or 0 of every finishing call.
const finishes = (app) =>
  journalCalls(app, 'FinalizaFuncaoSiTefInterativo').map((line) => /confirma=(\d)/.exec(line)[1]);

function assertApproved(result) {
  assert.equal(result.type, 'result', JSON.stringify(result));
  assert.equal(result.status, 'approved', JSON.stringify(result));
  assert.equal(result.message, 'Transação TEF concluída com sucesso.');
  const [entry] = result.transaction_data;
  assert.equal(entry.sale_id, 4242);
  assert.deepEqual(entry.receipt, [
    { copy_number: 1, data: ['VIA DO CLIENTE', 'VALOR: R$ 25,50'] },
    { copy_number: 2, data: ['VIA DO ESTABELECIMENTO', 'VALOR: R$ 25,50'] },
  ]);
}

// Every "recovery" event's detail, in order.
function recoveryEvents(client) {
  const events = [];
  client.addEventListener('recovery', (event) => events.push(event.detail));
  return events;
}

// Starts the service again on its port once QV_CRASH_AT has killed it, after `spoil`.
function restartAfterCrash(app, spoil = () => {}) {
  return app.exited().then(() => {
    spoil();
    app.env.QV_CRASH_AT = '';
    return app.start({ samePort: true });
  });
}

// Opens a new session whenever the recovery asks for one; resolves with the replies.
function openSessionsWhenAsked(client) {
  const sessions = [];
  client.addEventListener('recovery', ({ detail }) => {
    if (detail.state === 'session') sessions.push(client.startSession(mintToken()));
  });
  return () => Promise.all(sessions);
}

// A service of its own and a client with an open session on a network the test can break;
// `body` gets {app, client, network, events} (the recovery events). The client is closed
// (ending any recovery) and the service removed, also when the body fails.
async function withFaultyClient({ env, clientOptions }, body) {
  const app = new AppFolder({ scenario: SCENARIO, env });
  const network = new FaultyNetwork(app.caFile);
  let client;
  try {
    await app.start();
    client = clientFor(app, { createWebSocket: (url) => network.open(url), ...clientOptions });
    const events = recoveryEvents(client);
    await client.connect();
    await client.startSession(mintToken());
    await body({ app, client, network, events });
  } finally {
    client?.close();
    await app.remove();
  }
}

describe('request ids', () => {
  const suite = serviceForSuite({ scenario: SCENARIO, client: 'session' });
  let app;
  let client;
  before(() => ({ app, client } = suite));

  test('a payment with a request id is approved as usual; sent again, it is answered without a charge', async () => {
    const id = newRequestId();
    assert.match(id, /^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$/);
    assert.notEqual(newRequestId(), id);

    const result = await client.pay(debit(id), answerMenu);
    assertApproved(result);
    assert.deepEqual(await client.transactionStatus(id), result);
    assert.deepEqual(await client.recoverTransaction(id), result);

    const again = await client.pay(debit(id), answerMenu);
    assert.deepEqual(again, result);
    assert.equal(started(app), 1);
    assert.deepEqual(finishes(app), ['1']);
  });

  test('cancellations and reprints carry their request id too, and their outcome is kept', async () => {
    const cases = [
      ['declined payment', (requestId) => client.pay({ ...debit(requestId), operation: 3 }, answerMenu)],
      [
        'cancellation',
        (requestId) => client.cancelPayment({ nsu: '1', date: '2026-12-01', amount: 25.5, requestId }, answerMenu),
      ],
      ['reprint', (requestId) => client.reprint({ requestId }, answerMenu)],
    ];
    for (const [name, run] of cases) {
      const id = `${name.replace(' ', '-')}-${newRequestId()}`;
      const result = await run(id);
      assert.equal(result.type, 'result', name);
      assert.notEqual(result.status, 'approved', name);
      assert.deepEqual(await client.transactionStatus(id), result, name);
    }
  });

  test('status of a request id the service never saw, and request ids it refuses, with its texts', async () => {
    assert.deepEqual(await client.transactionStatus('loja7-pdv3-venda9-1'), {
      type: 'status',
      request_id: 'loja7-pdv3-venda9-1',
      status: 'unknown',
    });
    await assert.rejects(client.recoverTransaction('loja7-pdv3-venda9-1'), {
      name: 'UnknownRequestError',
      message: 'O serviço TEF não recebeu a transação loja7-pdv3-venda9-1; nada foi cobrado.',
      requestId: 'loja7-pdv3-venda9-1',
      outcomeUnknown: false,
    });
    const startedBefore = started(app);
    for (const [requestId, text] of [
      ['', 'O campo "request_id" não foi preenchido.'],
      ['venda 1', 'O campo "request_id" não foi preenchido corretamente.'],
      ['x'.repeat(65), 'O campo "request_id" não foi preenchido corretamente.'],
    ]) {
      await assert.rejects(client.transactionStatus(requestId), { name: 'ServiceError', message: text });
      await assert.rejects(client.pay(debit(requestId), answerMenu), { name: 'ServiceError', message: text });
    }
    assert.equal(started(app), startedBefore);
  });
});

describe('a connection lost before the result', () => {
  test('the payment resolves with the kept result once the client is back, and is charged once', async () => {
    const cases = [
      { name: 'the connection cut as the result comes', crashAt: '', events: ['waiting'] },
      // The restarted service knows no session: the caller opens one when told.
      { name: 'the service killed after keeping the result', crashAt: 'recorded', events: ['waiting', 'session'] },
    ];
    for (const { name, crashAt, events: expected } of cases) {
      await withFaultyClient({ env: { QV_CRASH_AT: crashAt } }, async ({ app, client, network, events }) => {
        const sessions = openSessionsWhenAsked(client);
        const restarted = crashAt ? restartAfterCrash(app) : null;
        if (!crashAt) network.cutAt('receive', (message) => message.type === 'result');
        const id = newRequestId();
        const result = await client.pay(debit(id), answerMenu);
        assertApproved(result);
        assert.deepEqual(
          events.map((event) => event.state),
          expected,
          name,
        );
        assert.ok(events.every((event) => event.requestId === id), name);
        if (crashAt) assert.equal(events[1].message, 'Sessão inválida.', name);
        await Promise.all([restarted, sessions()]);
        assert.equal(client.connected, true, name);

        // Asked again, or sent again: the same result, and still one payment confirmed once.
        assert.deepEqual(await client.transactionStatus(id), result, name);
        assert.deepEqual(await client.pay(debit(id), answerMenu), result, name);
        assert.equal(started(app), 1, name);
        assert.deepEqual(finishes(app), ['1'], name);
      });
    }
  });

  test('while the service still runs the payment, the client asks again until it ends', async () => {
    await withFaultyClient({}, async ({ app, client, network, events }) => {
      let oldConnection;
      // The client loses the connection at the menu; the service still waits for its answer
      // there, and gets it once the client has been told twice that the payment is in progress.
      let inProgress = 0;
      client.addEventListener('recovery', ({ detail }) => {
        if (detail.state !== 'in_progress' || ++inProgress !== 2) return;
        const answer = { route: '/transaction', type: 'menu', response: MENU_CHOICE, session_uuid: client.sessionUuid };
        oldConnection.send(JSON.stringify(answer));
      });
      const handlers = {
        menu: (prompt, { signal }) => {
          oldConnection = network.current.detach();
          return new Promise((resolve) => signal.addEventListener('abort', () => resolve(GIVE_UP)));
        },
      };
      const result = await client.pay(debit(newRequestId()), handlers);
      assertApproved(result);
      const [waiting, ...asked] = events;
      assert.equal(waiting.state, 'waiting');
      assert.ok(asked.length >= 2);
      // Asked again after a pause that doubles from half a second.
      asked.forEach((event, i) => assert.deepEqual([event.state, event.retryInMs], ['in_progress', 500 * 2 ** i]));
      assert.equal(started(app), 1);
      assert.deepEqual(finishes(app), ['1']);
    });
  });

  test('never received, closed by the caller, a service that cannot tell or is gone: each ends clearly', async () => {
    const lost = 'A conexão com o serviço TEF caiu durante a transação; o resultado dela não é conhecido.';
    const cases = [
      {
        name: 'never sent: nothing kept, nothing charged',
        fault: (network) => network.cutAt('send', isTransaction),
        expected: (id) => ({
          name: 'UnknownRequestError',
          message: `O serviço TEF não recebeu a transação ${id}; nada foi cobrado.`,
          requestId: id,
          outcomeUnknown: false,
        }),
        events: ['waiting'],
        nothingStarted: true,
      },
      {
        name: 'closed by the caller: no recovery',
        handlers: (client) => ({ menu: () => client.close() }),
        expected: (id) => ({ name: 'ConnectionClosedError', message: lost, outcomeUnknown: true, requestId: id }),
        events: [],
      },
      {
        name: 'the service restarted with its record of outcomes spoilt cannot tell',
        env: { QV_CRASH_AT: 'recorded' },
        fault: (network, app, client) => {
          openSessionsWhenAsked(client);
          return restartAfterCrash(app, () => {
            const database = app.file('Resultados/resultados.db');
            for (const suffix of ['-wal', '-shm']) fs.rmSync(database + suffix, { force: true });
            fs.writeFileSync(database, 'x'.repeat(8192));
          });
        },
        expected: (id) => (error) => {
          const { name, message, outcomeUnknown, requestId, cause } = error;
          assert.deepEqual([name, message, outcomeUnknown, requestId], ['ConnectionClosedError', lost, true, id]);
          const unavailable = 'Registro de resultados indisponível; não é possível consultar a transação.';
          assert.equal(cause.message, unavailable);
          return true;
        },
        events: ['waiting', 'session'],
      },
      {
        name: 'the service does not come back within the recovery time',
        env: { QV_CRASH_AT: 'recorded' },
        clientOptions: { recoveryTimeoutMs: 1500 },
        expected: (id) => ({ name: 'ConnectionClosedError', message: lost, outcomeUnknown: true, requestId: id }),
        events: ['waiting'],
      },
      {
        // Nothing to ask the service by: the outcome stays unknown, as it always was.
        name: 'without a request id',
        withoutId: true,
        fault: (network) => network.cutAt('receive', (message) => message.type === 'result'),
        expected: () => (error) =>
          error.name === 'ConnectionClosedError' && error.outcomeUnknown && !('requestId' in error),
        events: [],
      },
    ];
    for (const c of cases) {
      await withFaultyClient(c, async ({ app, client, network, events }) => {
        const faulted = c.fault?.(network, app, client);
        const id = c.withoutId ? undefined : newRequestId();
        await assert.rejects(client.pay(debit(id), c.handlers?.(client) ?? answerMenu), c.expected(id), c.name);
        await faulted;
        assert.deepEqual(
          events.map((event) => event.state),
          c.events,
          c.name,
        );
        if (c.nothingStarted) assert.equal(started(app), 0, c.name);
      });
    }
  });
});
