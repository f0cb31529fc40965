// The 64-bit Windows service under Wine's service manager, driven as a shop's administrator
// and the Services console drive it: registered by its own INSTALL switch, started, paying
// through the JavaScript client on Linux over TLS, paused, continued, stopped, started again
// with `net start`, stopped from the paused state with `net stop`, and removed by UNINSTALL.
// scripts/test-windows-service.sh prepares the Wine prefix and the installed folder and runs
// this file; the steps depend on each other and run in order.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import assert from 'node:assert/strict';
import { after, describe, test } from 'node:test';
import { WebSocket } from 'ws';
import { FunctionCode, QuorvexTefClient } from '../../../clients/js/src/index.js';
import { freePort } from '../support/app-folder.mjs';

const WINE = process.env.QV_WINE;
const PREFIX = process.env.WINEPREFIX;
const FOLDER = process.env.QV_SERVICE_FOLDER; // the installed folder, as Linux sees it
const FOLDER_WINDOWS = process.env.QV_SERVICE_FOLDER_WINDOWS; // and as Windows sees it
const MANAGER_TOOL = process.env.QV_SERVICE_MANAGER_TOOL;
const NAME = 'QuorvexSiTefService';
const EXECUTABLE = `${FOLDER_WINDOWS}\\${NAME}.exe`;
const WAIT_HINT_MS = 5000;
// What one Wine command may take before the test gives up on it.
const COMMAND_TIMEOUT_MS = 60000;

// Runs a Windows program under Wine; its output goes through a file, since a pipe would be
// held open by any Wine process it started.
function wine(args, { timeoutMs = COMMAND_TIMEOUT_MS } = {}) {
  const outputFile = path.join(os.tmpdir(), `qv-wine-output-${process.pid}.txt`);
  const output = fs.openSync(outputFile, 'w');
  try {
    const run = spawnSync(WINE, args, { stdio: ['ignore', output, output], timeout: timeoutMs });
    if (run.error) throw new Error(`${args.join(' ')}: ${run.error.message}`);
    return { status: run.status, output: fs.readFileSync(outputFile, 'utf8') };
  } finally {
    fs.closeSync(output);
    fs.rmSync(outputFile, { force: true });
  }
}

// The tool's registration output: one key=value a line.
const configOf = (output) =>
  Object.fromEntries(output.split(/\r?\n/).filter((line) => line.includes('=')).map((line) => line.split(/=(.*)/s, 2)));

// A status line's (or a whole output's) key=value words; the last of a key wins.
const fields = (text) => Object.fromEntries([...text.matchAll(/([a-z_0-9]+)=(\S*)/g)].map(([, key, value]) => [key, value]));

function manager(...args) {
  return wine([MANAGER_TOOL, ...args]);
}

// The statuses a control request went through, and how long it took to reach its state.
function control(request) {
  const { status, output } = manager('control', NAME, request, String(COMMAND_TIMEOUT_MS / 2));
  assert.equal(status, 0, `${request}:\n${output}`);
  const statuses = [...output.matchAll(/^at_ms=(\d+) (.*)$/gm)].map(([, atMs, line]) => ({
    atMs: Number(atMs),
    ...fields(line),
  }));
  return { statuses, elapsedMs: Number(fields(output).elapsed_ms), output };
}

// Pending states carry the wait hint and the state is reached within it; the request
// ends with the state the service reports and the controls it accepts there.
function assertAnsweredWithinWaitHint(request, pending, reached) {
  const { statuses, elapsedMs, output } = control(request);
  for (const status of statuses.filter((s) => s.state.endsWith('_pending'))) {
    assert.equal(status.state, pending, `${request}:\n${output}`);
    assert.equal(Number(status.wait_hint), WAIT_HINT_MS, `${request}:\n${output}`);
  }
  const last = statuses.at(-1);
  assert.equal(last.state, reached, output);
  assert.equal(Number(last.wait_hint), 0, output);
  assert.ok(elapsedMs <= WAIT_HINT_MS, `${request} took ${elapsedMs} ms:\n${output}`);
  console.log(`# ${request}: ${reached} after ${elapsedMs} ms`);
  return last;
}

// Stop and shutdown, pause and continue (0x1 | 0x2 | 0x4) while running or paused.
const ACCEPTS_STOP_PAUSE_SHUTDOWN = 0x7;

function serviceLog() {
  const root = path.join(FOLDER, 'Log');
  if (!fs.existsSync(root)) return '';
  return fs
    .readdirSync(root, { recursive: true })
    .filter((name) => path.basename(name).startsWith(`${NAME} `))
    .sort()
    .map((name) => fs.readFileSync(path.join(root, name), 'latin1'))
    .join('');
}

const LIFECYCLE_LINES = [
  'Iniciando servidor socket.',
  'O serviço foi inciado.',
  'O serviço foi pausado.',
  'O serviço foi retomado.',
  'O serviço foi parado.',
];

// The lifecycle lines of the service log (without their time stamps) written since `mark`
// characters; a line of a failure fails the test.
function logLinesSince(mark) {
  const lines = serviceLog()
    .slice(mark)
    .split('\r\n')
    .filter(Boolean)
    .map((line) => line.replace(/^\[[^\]]*\] /, ''));
  const failures = lines.filter((line) => /erro/i.test(line));
  assert.deepEqual(failures, [], lines.join('\n'));
  return lines.filter((line) => LIFECYCLE_LINES.includes(line));
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function waitUntil(condition, timeoutMs) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    if (await condition()) return true;
    if (Date.now() >= deadline) return false;
    await sleep(50);
  }
}

// 'connected' or the error code of a plain TCP connection to the service's port.
function tryConnect(port) {
  return new Promise((resolve) => {
    const socket = net.connect(port, '127.0.0.1');
    const timer = setTimeout(() => {
      socket.destroy();
      resolve('timeout');
    }, 5000);
    socket.once('connect', () => {
      clearTimeout(timer);
      socket.destroy();
      resolve('connected');
    });
    socket.once('error', (error) => {
      clearTimeout(timer);
      resolve(error.code);
    });
  });
}

// Processes of this Wine prefix running the installed executable.
function serviceProcesses() {
  const found = [];
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const commandLine = fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8');
      const environment = fs.readFileSync(`/proc/${pid}/environ`, 'utf8').split('\0');
      if (commandLine.includes(EXECUTABLE) && environment.includes(`WINEPREFIX=${PREFIX}`)) found.push(pid);
    } catch {
      // Ended meanwhile, or not ours to read.
    }
  }
  return found;
}

function mintToken() {
  const claims = {
    secctional_code: '12',
    ip_address: '127.0.0.1',
    store_code: '00000000',
    additional_parameters: '',
    operator: 'Caixa 1',
    sale_id: '41',
    company_id: '3',
    callback_url: 'https://loja.example/retorno',
  };
  const args = Object.entries(claims).flatMap(([name, value]) => [`--${name}`, value]);
  const { status, output } = wine([path.join(FOLDER, 'qv-token.exe'), ...args]);
  assert.equal(status, 0, output);
  return output.trim();
}

describe('the Windows service under the service manager', () => {
  let port;
  const clients = [];

  function client() {
    const ca = fs.readFileSync(path.join(FOLDER, 'Certificado/ca_cert.pem'));
    const tef = new QuorvexTefClient({
      url: `wss://localhost:${port}`,
      createWebSocket: (url) => new WebSocket(url, { ca }),
    });
    clients.push(tef);
    return tef;
  }

  // The listener opens its port on a thread of its own, just after the service reports
  // itself running.
  async function assertHealthy() {
    assert.ok(await waitUntil(async () => (await tryConnect(port)) === 'connected', 10000), 'listening');
    const tef = client();
    await tef.connect();
    const health = await tef.health();
    assert.equal(health.type, 'health');
    tef.close();
  }

  after(() => {
    for (const tef of clients) tef.close();
  });

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
    const mark = serviceLog().length;
    const running = assertAnsweredWithinWaitHint('start', 'start_pending', 'running');
    assert.equal(Number(running.controls), ACCEPTS_STOP_PAUSE_SHUTDOWN);
    assert.notEqual(Number(running.pid), 0);
    assert.deepEqual(serviceProcesses().length, 1, 'one service process');
    await assertHealthy();
    assert.deepEqual(logLinesSince(mark), ['Iniciando servidor socket.', 'O serviço foi inciado.']);
  });

  test('answers a credit payment with both receipt copies over TLS', async () => {
    const tef = client();
    await tef.connect();
    await tef.startSession(mintToken());
    const prompts = [];
    const note = async (prompt) => void prompts.push(prompt.type);
    const handlers = Object.fromEntries(
      ['menu', 'collect', 'question', 'confirmation', 'message', 'qrcode', 'can_cancel', 'receipt'].map((type) => [
        type,
        note,
      ]),
    );
    const result = await tef.pay(
      { operation: FunctionCode.CREDIT, amount: '125,90', payerName: 'Maria', installments: 3 },
      handlers,
    );
    tef.close();

    assert.equal(result.status, 'approved', JSON.stringify(result));
    const [entry] = result.transaction_data;
    assert.equal(entry.operation, 'credit');
    assert.equal(entry.transaction_value, 125.9);
    assert.deepEqual(
      entry.receipt.map((copy) => copy.copy_number),
      [1, 2],
    );
    assert.match(entry.receipt[0].data.join('\n'), /VALOR: R\$ 125,90[\s\S]*VIA DO CLIENTE/);
    assert.match(entry.receipt[1].data.join('\n'), /VIA DO ESTABELECIMENTO/);
  });

  test('paused with an idle client connected: that connection is closed, no new one is accepted, the log line', async () => {
    // A point of sale keeps its connection open between payments.
    const idle = new WebSocket(`wss://localhost:${port}`, { ca: fs.readFileSync(path.join(FOLDER, 'Certificado/ca_cert.pem')) });
    const closed = new Promise((resolve) => idle.once('close', resolve));
    await new Promise((resolve, reject) => {
      idle.once('open', resolve);
      idle.once('error', reject);
    });
    const mark = serviceLog().length;
    const paused = assertAnsweredWithinWaitHint('pause', 'pause_pending', 'paused');
    assert.equal(Number(paused.controls), ACCEPTS_STOP_PAUSE_SHUTDOWN);
    const timeout = sleep(10000).then(() => 'still open');
    assert.notEqual(await Promise.race([closed, timeout]), 'still open');
    assert.equal(await tryConnect(port), 'ECONNREFUSED');
    assert.deepEqual(logLinesSince(mark), ['O serviço foi pausado.']);
  });

  test('continued: connections again, and the log says so', async () => {
    const mark = serviceLog().length;
    assertAnsweredWithinWaitHint('continue', 'continue_pending', 'running');
    await assertHealthy();
    assert.deepEqual(logLinesSince(mark), ['Iniciando servidor socket.', 'O serviço foi retomado.']);
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

    const mark = serviceLog().length;
    const stopped = assertAnsweredWithinWaitHint('stop', 'stop_pending', 'stopped');
    tef.close();
    const outcome = await Promise.race([payment, timeout]);
    assert.ok(outcome.error, `the payment ends without a result: ${JSON.stringify(outcome)}`);
    assert.equal(Number(stopped.win32_exit_code), 0, 'no error');
    assert.equal(Number(stopped.service_exit_code), 0);
    assert.ok(await waitUntil(() => serviceProcesses().length === 0, 10000), 'the process ended');
    assert.equal(await tryConnect(port), 'ECONNREFUSED');
    assert.deepEqual(logLinesSince(mark), ['O serviço foi parado.']);
  });

  test('started again with `net start`, paused, and stopped from the pause with `net stop`', async () => {
    const mark = serviceLog().length;
    const start = wine(['net', 'start', NAME]);
    assert.equal(start.status, 0, start.output);
    const running = manager('wait', NAME, 'running', String(WAIT_HINT_MS));
    assert.equal(running.status, 0, running.output);
    await assertHealthy();

    assertAnsweredWithinWaitHint('pause', 'pause_pending', 'paused');
    const stop = wine(['net', 'stop', NAME]);
    assert.equal(stop.status, 0, stop.output);
    const stopped = manager('wait', NAME, 'stopped', String(WAIT_HINT_MS));
    assert.equal(stopped.status, 0, stopped.output);
    assert.equal(Number(fields(stopped.output).win32_exit_code), 0, stopped.output);
    assert.ok(await waitUntil(() => serviceProcesses().length === 0, 10000), 'the process ended');
    assert.deepEqual(logLinesSince(mark), [
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
