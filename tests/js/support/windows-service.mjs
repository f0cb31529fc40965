// The installed Windows service under Wine, as an administrator drives it: Windows programs
// run through Wine's 64-bit loader (QV_WINE) in the prefix of the environment, the service
// manager asked through qv-service-manager.exe (QV_SERVICE_MANAGER_TOOL), the service log of
// the installed folder read from Linux.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import assert from 'node:assert/strict';
import { WebSocket } from 'ws';
import { FunctionCode, QuorvexTefClient } from '../../../clients/js/src/index.js';
import { tokenArguments, waitUntil } from './app-folder.mjs';

export const SERVICE_NAME = 'QuorvexSiTefService';
export const WAIT_HINT_MS = 5000;
// Stop and shutdown, pause and continue (0x1 | 0x2 | 0x4) while running or paused.
export const ACCEPTS_STOP_PAUSE_SHUTDOWN = 0x7;
// What one Wine command may take before the test gives up on it.
const COMMAND_TIMEOUT_MS = 60000;

// Runs a Windows program under Wine; its output goes through a file, since a pipe would be
// held open by any Wine process it started.
export function wine(args, { timeoutMs = COMMAND_TIMEOUT_MS } = {}) {
  const outputFile = path.join(os.tmpdir(), `qv-wine-output-${process.pid}.txt`);
  const output = fs.openSync(outputFile, 'w');
  try {
    const run = spawnSync(process.env.QV_WINE, args, { stdio: ['ignore', output, output], timeout: timeoutMs });
    if (run.error) throw new Error(`${args.join(' ')}: ${run.error.message}`);
    return { status: run.status, output: fs.readFileSync(outputFile, 'utf8') };
  } finally {
    fs.closeSync(output);
    fs.rmSync(outputFile, { force: true });
  }
}

// The tool's registration output: one key=value a line.
export const configOf = (output) =>
  Object.fromEntries(output.split(/\r?\n/).filter((line) => line.includes('=')).map((line) => line.split(/=(.*)/s, 2)));

// A status line's (or a whole output's) key=value words; the last of a key wins.
export const fields = (text) =>
  Object.fromEntries([...text.matchAll(/([a-z_0-9]+)=(\S*)/g)].map(([, key, value]) => [key, value]));

export function manager(...args) {
  return wine([process.env.QV_SERVICE_MANAGER_TOOL, ...args]);
}

// The statuses a control request went through, and how long it took to reach its state.
function control(request) {
  const { status, output } = manager('control', SERVICE_NAME, request, String(COMMAND_TIMEOUT_MS / 2));
  assert.equal(status, 0, `${request}:\n${output}`);
  const statuses = [...output.matchAll(/^at_ms=(\d+) (.*)$/gm)].map(([, atMs, line]) => ({
    atMs: Number(atMs),
    ...fields(line),
  }));
  return { statuses, elapsedMs: Number(fields(output).elapsed_ms), output };
}

// Pending states carry the wait hint and the state is reached within it; the request
// ends with the state the service reports and the controls it accepts there.
export function assertAnsweredWithinWaitHint(request, pending, reached) {
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

function serviceLog(folder) {
  const root = path.join(folder, 'Log');
  if (!fs.existsSync(root)) return '';
  return fs
    .readdirSync(root, { recursive: true })
    .filter((name) => path.basename(name).startsWith(`${SERVICE_NAME} `))
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

// The service log of an installed folder: mark() where it ends now; linesSince(mark) the
// lifecycle lines (without their time stamps) written after it. A line of a failure fails
// the test.
export function serviceLogOf(folder) {
  return {
    mark: () => serviceLog(folder).length,
    linesSince(mark) {
      const lines = serviceLog(folder)
        .slice(mark)
        .split('\r\n')
        .filter(Boolean)
        .map((line) => line.replace(/^\[[^\]]*\] /, ''));
      const failures = lines.filter((line) => /erro/i.test(line));
      assert.deepEqual(failures, [], lines.join('\n'));
      return lines.filter((line) => LIFECYCLE_LINES.includes(line));
    },
  };
}

// 'connected' or the error code of a plain TCP connection to the service's port.
export function tryConnect(port) {
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

// Processes of this Wine prefix running `executable` (its Windows path).
export function processesRunning(executable) {
  const found = [];
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const commandLine = fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8');
      const environment = fs.readFileSync(`/proc/${pid}/environ`, 'utf8').split('\0');
      if (commandLine.includes(executable) && environment.includes(`WINEPREFIX=${process.env.WINEPREFIX}`)) {
        found.push(pid);
      }
    } catch {
      // Ended meanwhile, or not ours to read.
    }
  }
  return found;
}

// Clients of the service listening on port() that trust the CA of `folder`'s certificates (with
// an Origin header when given one); close() closes every one opened.
export function serviceClients(folder, port) {
  const clients = [];
  return {
    open({ origin } = {}) {
      const ca = fs.readFileSync(path.join(folder, 'Certificado/ca_cert.pem'));
      const tef = new QuorvexTefClient({
        url: `wss://localhost:${port()}`,
        createWebSocket: (url) => new WebSocket(url, { ca, ...(origin && { origin }) }),
      });
      clients.push(tef);
      return tef;
    },
    close() {
      for (const tef of clients) tef.close();
    },
  };
}

// A session token from the installed folder's own qv-token.exe.
export function mintTokenWith(folder) {
  const { status, output } = wine([path.join(folder, 'qv-token.exe'), ...tokenArguments()]);
  assert.equal(status, 0, output);
  return output.trim();
}

// A credit payment of R$ 125,90 in 3 installments, every prompt answered as the client's
// defaults do: approved, with the customer's and the merchant's receipt copies.
export async function assertCreditApproved(tef, token) {
  await tef.startSession(token);
  const note = async () => {};
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
}

// "/health" answered through `tef` once the service listens on `port`: the listener opens its
// port on a thread of its own, just after the service reports itself running.
export async function assertHealthy(port, tef) {
  assert.ok(await waitUntil(async () => (await tryConnect(port)) === 'connected', 10000), 'listening');
  await tef.connect();
  const health = await tef.health();
  assert.equal(health.type, 'health');
  tef.close();
}
