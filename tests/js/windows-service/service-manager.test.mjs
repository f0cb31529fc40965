// The 64-bit Windows service under Wine's service manager, driven as a shop's administrator
// and the Services console drive it: registered by its own INSTALL switch, started, paying
// through the JavaScript client on Linux over TLS, paused, continued, stopped, started again
// with `net start`, stopped from the paused state with `net stop`, and removed by UNINSTALL.
// scripts/test-windows-service.sh prepares the Wine prefix and the installed folder and runs
// this file; the steps depend on each other and run in order.
import fs from 'node:fs';
import path from 'node:path';
import assert from 'node:assert/strict';
import { after, describe, test } from 'node:test';
import { WebSocket } from 'ws';
import { FunctionCode } from '../../../clients/js/src/index.js';
import { freePort, waitUntil } from '../support/app-folder.mjs';
import {
  ACCEPTS_STOP_PAUSE_SHUTDOWN,
  SERVICE_NAME as NAME,
  WAIT_HINT_MS,
  assertAnsweredWithinWaitHint,
  assertCreditApproved,
  assertHealthy,
  configOf,
  fields,
  manager,
  mintTokenWith,
  processesRunning,
  serviceClients,
  serviceLogOf,
  tryConnect,
  wine,
} from '../support/windows-service.mjs';

const FOLDER = process.env.QV_SERVICE_FOLDER; // the installed folder, as Linux sees it
const FOLDER_WINDOWS = process.env.QV_SERVICE_FOLDER_WINDOWS; // and as Windows sees it
const EXECUTABLE = `${FOLDER_WINDOWS}\\${NAME}.exe`;

const log = serviceLogOf(FOLDER);
const serviceProcesses = () => processesRunning(EXECUTABLE);
const mintToken = () => mintTokenWith(FOLDER);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

describe('the Windows service under the service manager', () => {
  let port;
  const clients = serviceClients(FOLDER, () => port);
  const client = (options) => clients.open(options);

  after(() => clients.close());

  test('INSTALL SILENT registers it as its own automatic process, with its description', async () => {
    port = await freePort();
    fs.writeFileSync(path.join(FOLDER, `${NAME}.ini`), `[sitef]\r\nserver_port=${port}\r\n`);

    const install = wine([EXECUTABLE, 'INSTALL', 'SILENT']);
    assert.equal(install.status, 0, install.output);
    assert.equal(install.output.trim(), '', 'SILENT prints nothing');

    const { status, output } = manager('config', NAME);
    assert.equal(status, 0, output);
    const config = configOf(output);
    assert.deepEqual(
      {
        type: config.type,
        start_type: config.start_type,
        error_control: config.error_control,
        binary_path: config.binary_path,
        display_name: config.display_name,
        dependencies: config.dependencies,
        description: config.description,
      },
      {
        type: '0x10', // SERVICE_WIN32_OWN_PROCESS, not interactive
        start_type: '2', // SERVICE_AUTO_START
        error_control: '1', // SERVICE_ERROR_NORMAL
        binary_path: `"${EXECUTABLE}"`, // quoted: the folder's name has blanks
        display_name: NAME,
        dependencies: '',
        description: 'Quorvex TEF Server - Mantenha este serviço iniciado.',
      },
    );
    assert.match(config.account, /^(LocalSystem)?$/, 'the default service account');

    // The same identity in the registry, where the console and other tools read it.
    const key = `HKLM\\System\\CurrentControlSet\\Services\\${NAME}`;
    const registry = wine(['reg', 'query', key]);
    assert.equal(registry.status, 0, registry.output);
    assert.match(registry.output, /\bStart\s+REG_DWORD\s+0x2\b/);
    assert.match(registry.output, /\bType\s+REG_DWORD\s+0x10\b/);
    assert.match(registry.output, /\bDescription\s+REG_SZ\s+Quorvex TEF Server - Mantenha/);
    assert.doesNotMatch(registry.output, /DependOnService/);

    const again = wine([EXECUTABLE, 'INSTALL', 'SILENT']);
    assert.notEqual(again.status, 0, 'installing over an installed service fails');
    assert.match(again.output, new RegExp(`${NAME}`), again.output);
  });

  test('started by the manager: running within the wait hint, the log lines, answering "/health"', async () => {
    const mark = log.mark();
    const running = assertAnsweredWithinWaitHint('start', 'start_pending', 'running');
    assert.equal(Number(running.controls), ACCEPTS_STOP_PAUSE_SHUTDOWN);
    assert.notEqual(Number(running.pid), 0);
    assert.deepEqual(serviceProcesses().length, 1, 'one service process');
    await assertHealthy(port, client());
    assert.deepEqual(log.linesSince(mark), ['Iniciando servidor socket.', 'O serviço foi inciado.']);
  });

  test('answers a credit payment with both receipt copies over TLS', async () => {
    const tef = client();
    await tef.connect();
    try {
      await assertCreditApproved(tef, mintToken());
    } finally {
      tef.close();
    }
  });

  test('paused with an idle client connected: that connection is closed, no new one is accepted, the log line', async () => {
    // A point of sale keeps its connection open between payments.
    const idle = new WebSocket(`wss://localhost:${port}`, { ca: fs.readFileSync(path.join(FOLDER, 'Certificado/ca_cert.pem')) });
    const closed = new Promise((resolve) => idle.once('close', resolve));
    await new Promise((resolve, reject) => {
      idle.once('open', resolve);
      idle.once('error', reject);
    });
    const mark = log.mark();
    const paused = assertAnsweredWithinWaitHint('pause', 'pause_pending', 'paused');
    assert.equal(Number(paused.controls), ACCEPTS_STOP_PAUSE_SHUTDOWN);
    const timeout = sleep(10000).then(() => 'still open');
    assert.notEqual(await Promise.race([closed, timeout]), 'still open');
    assert.equal(await tryConnect(port), 'ECONNREFUSED');
    assert.deepEqual(log.linesSince(mark), ['O serviço foi pausado.']);
  });

  test('continued: connections again, and the log says so', async () => {
    const mark = log.mark();
    assertAnsweredWithinWaitHint('continue', 'continue_pending', 'running');
    await assertHealthy(port, client());
    assert.deepEqual(log.linesSince(mark), ['Iniciando servidor socket.', 'O serviço foi retomado.']);
  });

  test('stopped while a payment waits for the client: within the wait hint, a clean exit, no process left', async () => {
    const tef = client();
    await tef.connect();
    await tef.startSession(mintToken());
    let menuShown;
    const shown = new Promise((resolve) => (menuShown = resolve));
    const never = new Promise(() => {});
    const payment = tef
      .pay(
        { operation: FunctionCode.PAYMENT_MENU, amount: '10,00', payerName: 'Maria' },
        { menu: () => (menuShown(), never), message: async () => {}, can_cancel: async () => {} },
      )
      .then(
        (result) => ({ result }),
        (error) => ({ error }),
      );
    const timeout = sleep(30000).then(() => 'timeout');
    assert.notEqual(await Promise.race([shown, timeout]), 'timeout', 'the library\'s menu reached the client');

    const mark = log.mark();
    const stopped = assertAnsweredWithinWaitHint('stop', 'stop_pending', 'stopped');
    tef.close();
    const outcome = await Promise.race([payment, timeout]);
    assert.ok(outcome.error, `the payment ends without a result: ${JSON.stringify(outcome)}`);
    assert.equal(Number(stopped.win32_exit_code), 0, 'no error');
    assert.equal(Number(stopped.service_exit_code), 0);
    assert.ok(await waitUntil(() => serviceProcesses().length === 0, 10000), 'the process ended');
    assert.equal(await tryConnect(port), 'ECONNREFUSED');
    assert.deepEqual(log.linesSince(mark), ['O serviço foi parado.']);
  });

  test('started again with `net start`, paused, and stopped from the pause with `net stop`', async () => {
    const mark = log.mark();
    const start = wine(['net', 'start', NAME]);
    assert.equal(start.status, 0, start.output);
    const running = manager('wait', NAME, 'running', String(WAIT_HINT_MS));
    assert.equal(running.status, 0, running.output);
    await assertHealthy(port, client());

    assertAnsweredWithinWaitHint('pause', 'pause_pending', 'paused');
    const stop = wine(['net', 'stop', NAME]);
    assert.equal(stop.status, 0, stop.output);
    const stopped = manager('wait', NAME, 'stopped', String(WAIT_HINT_MS));
    assert.equal(stopped.status, 0, stopped.output);
    assert.equal(Number(fields(stopped.output).win32_exit_code), 0, stopped.output);
    assert.ok(await waitUntil(() => serviceProcesses().length === 0, 10000), 'the process ended');
    assert.deepEqual(log.linesSince(mark), [
      'Iniciando servidor socket.',
      'O serviço foi inciado.',
      'O serviço foi pausado.',
      'O serviço foi parado.',
    ]);
  });

  test('UNINSTALL SILENT removes the registration', () => {
    const uninstall = wine([EXECUTABLE, 'UNINSTALL', 'SILENT']);
    assert.equal(uninstall.status, 0, uninstall.output);
    assert.equal(uninstall.output.trim(), '');
    const query = manager('config', NAME);
    assert.equal(query.status, 2, `not registered any more:\n${query.output}`);
    const registry = wine(['reg', 'query', `HKLM\\System\\CurrentControlSet\\Services\\${NAME}`]);
    assert.notEqual(registry.status, 0, registry.output);

    const again = wine([EXECUTABLE, 'UNINSTALL', 'SILENT']);
    assert.equal(again.status, 0, 'removing an absent service is not an error');
  });
});
