// The x64 installer under Wine, used as a shop that deploys with scripts uses it: a silent
// install with the 64-bit library, the demo, a port and the point-of-sale page's origin; the
// service it registers and starts answering "/health" and a credit payment through the
// JavaScript client on Linux, trusting the CA the installer made; the service paused,
// continued, stopped and started through the service manager; a silent uninstall that takes
// the programs and the registration away and keeps the shop's records.
// scripts/test-windows-installer.sh prepares a fresh Wine prefix and runs this file; the
// steps depend on each other and run in order.
import fs from 'node:fs';
import path from 'node:path';
import assert from 'node:assert/strict';
import { after, describe, test } from 'node:test';
import { WebSocket } from 'ws';
import { freePort, waitUntil } from '../support/app-folder.mjs';
import {
  ACCEPTS_STOP_PAUSE_SHUTDOWN,
  SERVICE_NAME,
  WAIT_HINT_MS,
  assertAnsweredWithinWaitHint,
  assertCreditApproved,
  assertHealthy,
  configOf,
  manager,
  mintTokenWith,
  processesRunning,
  serviceClients,
  serviceLogOf,
  tryConnect,
  wine,
} from '../support/windows-service.mjs';

const INSTALLER = process.env.QV_INSTALLER;
const FOLDER = process.env.QV_INSTALL_FOLDER; // where the installer puts it, as Linux sees it
const FOLDER_WINDOWS = process.env.QV_INSTALL_FOLDER_WINDOWS; // and as Windows sees it
const EXECUTABLE = `${FOLDER_WINDOWS}\\${SERVICE_NAME}.exe`;
const ORIGIN = 'https://pdv.loja.example';
const SERVICE_KEY = `HKLM\\System\\CurrentControlSet\\Services\\${SERVICE_NAME}`;
const UNINSTALL_KEY = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuorvexTEFServer';
// An installer unpacks and writes some 20 MB and runs five programs under Wine.
const INSTALL_TIMEOUT_MS = 300000;
const RECORD_FOLDERS = ['Log', 'TEF', 'Resultados'];
const START_MENU = path.join(
  process.env.WINEPREFIX,
  'drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvex TEF Server',
);
// What the installer puts there and the uninstaller takes away.
const PROGRAM_FILES = [
  'QuorvexSiTefService.exe',
  'qv-token.exe',
  'qv-certificates.exe',
  'qv-web-server.exe',
  'Uninstall.exe',
  'Demo.cmd',
  'QuorvexSiTefService.ini',
  'Certificado/ca_cert.pem',
  'Certificado/server_cert.pem',
  'Certificado/server_key.pem',
  'dll/CliSiTef64I.dll',
  'dll/clisitef-sim.json',
  'web/index.html',
];

const log = serviceLogOf(FOLDER);
const installed = (name) => path.join(FOLDER, name);
const serviceProcesses = () => processesRunning(EXECUTABLE);

// The machine a PE file's header names (0x8664 for x86-64, 0x14c for i386).
function machineOf(file) {
  const image = fs.readFileSync(file);
  const header = image.readUInt32LE(0x3c);
  assert.equal(image.toString('latin1', header, header + 4), 'PE\0\0', file);
  return image.readUInt16LE(header + 4);
}

// Every file under the records folders with its content, as a shop would check them.
function records() {
  const found = {};
  for (const folder of RECORD_FOLDERS) {
    const root = installed(folder);
    if (!fs.existsSync(root)) continue;
    for (const name of fs.readdirSync(root, { recursive: true })) {
      const file = path.join(root, name);
      if (fs.statSync(file).isFile()) found[path.join(folder, name)] = fs.readFileSync(file, 'latin1');
    }
  }
  return found;
}

function registryValues(key) {
  const { status, output } = wine(['reg', 'query', key]);
  if (status !== 0) return null;
  return Object.fromEntries(
    [...output.matchAll(/^\s+(\S+)\s+REG_\w+\s+(.*?)\s*$/gm)].map(([, name, value]) => [name, value]),
  );
}

describe('the x64 installer, silently, under Wine', () => {
  let port;
  const clients = serviceClients(FOLDER, () => port);
  const client = (options) => clients.open(options);

  after(() => clients.close());

  test('/S /ARCH=x64 /PORT= /ORIGIN= /DEMO puts the 64-bit build in place, registered and running', async () => {
    port = await freePort();
    const run = wine([INSTALLER, '/S', '/ARCH=x64', `/PORT=${port}`, `/ORIGIN=${ORIGIN}`, '/DEMO'], {
      timeoutMs: INSTALL_TIMEOUT_MS,
    });
    assert.equal(run.status, 0, run.output);
    const registration = registryValues(UNINSTALL_KEY);
    assert.ok(registration, 'an entry in Apps & features');

    const missing = PROGRAM_FILES.filter((name) => !fs.existsSync(installed(name)));
    assert.deepEqual(missing, [], `installed in ${registration.InstallLocation}`);
    assert.equal(machineOf(installed('QuorvexSiTefService.exe')), 0x8664, 'the 64-bit build');
    assert.equal(machineOf(installed('dll/CliSiTef64I.dll')), 0x8664);
    assert.ok(!fs.existsSync(installed('dll/CliSiTef32I.dll')), 'only the library of the build installed');
    assert.ok(fs.existsSync(path.join(START_MENU, 'Demonstração.lnk')), 'the demo in the Start menu');

    const settings = fs.readFileSync(installed('QuorvexSiTefService.ini'), 'latin1');
    assert.match(settings, new RegExp(`^server_port=${port}\\r?$`, 'm'), settings);
    assert.match(settings, /^allowed_origins=https:\/\/pdv\.loja\.example\r?$/m, settings);

    assert.deepEqual(
      {
        DisplayName: registration.DisplayName,
        InstallLocation: registration.InstallLocation,
        UninstallString: registration.UninstallString,
        QuietUninstallString: registration.QuietUninstallString,
      },
      {
        DisplayName: 'Quorvex TEF Server',
        InstallLocation: FOLDER_WINDOWS,
        UninstallString: `"${FOLDER_WINDOWS}\\Uninstall.exe"`,
        QuietUninstallString: `"${FOLDER_WINDOWS}\\Uninstall.exe" /S`,
      },
    );

    const { status, output } = manager('config', SERVICE_NAME);
    assert.equal(status, 0, output);
    const config = configOf(output);
    assert.equal(config.binary_path, `"${EXECUTABLE}"`);
    assert.equal(config.start_type, '2', 'starts with the system');
    assert.equal(config.description, 'Quorvex TEF Server - Mantenha este serviço iniciado.');
    const running = manager('wait', SERVICE_NAME, 'running', String(WAIT_HINT_MS));
    assert.equal(running.status, 0, running.output);
    assert.equal(serviceProcesses().length, 1, 'one service process');
  });

  test('answers "/health" and a credit payment with both receipt copies, over TLS with the CA it made', async () => {
    await assertHealthy(port, client({ origin: ORIGIN }));
    const tef = client({ origin: ORIGIN });
    await tef.connect();
    try {
      await assertCreditApproved(tef, mintTokenWith(FOLDER));
    } finally {
      tef.close();
    }
  });

  test('refuses a page of another origin than the one given', async () => {
    const socket = new WebSocket(`wss://localhost:${port}`, {
      ca: fs.readFileSync(installed('Certificado/ca_cert.pem')),
      origin: 'https://outra.loja.example',
    });
    const answer = await new Promise((resolve) => {
      socket.once('open', () => resolve('open'));
      socket.once('unexpected-response', (request, response) => resolve(response.statusCode));
      socket.once('error', (error) => resolve(error.message));
    });
    socket.terminate();
    assert.equal(answer, 403);
  });

  test('paused, continued, stopped and started again through the service manager', async () => {
    let mark = log.mark();
    const paused = assertAnsweredWithinWaitHint('pause', 'pause_pending', 'paused');
    assert.equal(Number(paused.controls), ACCEPTS_STOP_PAUSE_SHUTDOWN);
    assert.ok(await waitUntil(async () => (await tryConnect(port)) === 'ECONNREFUSED', 10000), 'no connection');
    assert.deepEqual(log.linesSince(mark), ['O serviço foi pausado.']);

    mark = log.mark();
    assertAnsweredWithinWaitHint('continue', 'continue_pending', 'running');
    await assertHealthy(port, client({ origin: ORIGIN }));
    assert.deepEqual(log.linesSince(mark), ['Iniciando servidor socket.', 'O serviço foi retomado.']);

    mark = log.mark();
    const stopped = assertAnsweredWithinWaitHint('stop', 'stop_pending', 'stopped');
    assert.equal(Number(stopped.win32_exit_code), 0, 'no error');
    assert.ok(await waitUntil(() => serviceProcesses().length === 0, 10000), 'the process ended');
    assert.equal(await tryConnect(port), 'ECONNREFUSED');
    assert.deepEqual(log.linesSince(mark), ['O serviço foi parado.']);

    mark = log.mark();
    assertAnsweredWithinWaitHint('start', 'start_pending', 'running');
    await assertHealthy(port, client({ origin: ORIGIN }));
    assert.deepEqual(log.linesSince(mark), ['Iniciando servidor socket.', 'O serviço foi inciado.']);
  });

  test('Uninstall.exe /S takes the programs and the registration away and keeps Log, TEF and Resultados', async () => {
    // Records of each kind, whether or not the run wrote some.
    for (const folder of RECORD_FOLDERS) {
      fs.mkdirSync(installed(folder), { recursive: true });
      fs.writeFileSync(installed(`${folder}/registro da loja.txt`), `${folder} de teste\r\n`);
    }
    const kept = records();
    assert.ok(
      Object.keys(kept).some((name) => name.startsWith(`Log${path.sep}`) && !name.endsWith('registro da loja.txt')),
      'the service wrote its log',
    );

    const run = wine([`${FOLDER_WINDOWS}\\Uninstall.exe`, '/S'], { timeoutMs: INSTALL_TIMEOUT_MS });
    assert.equal(run.status, 0, run.output);
    // The uninstaller runs from a copy of itself and may still be at work when the program
    // started returns; its last step is removing its own registration.
    assert.ok(
      await waitUntil(() => registryValues(UNINSTALL_KEY) === null && !fs.existsSync(installed('Uninstall.exe')), 60000),
      'the uninstaller finished',
    );

    const left = PROGRAM_FILES.filter((name) => fs.existsSync(installed(name)));
    assert.deepEqual(left, []);
    for (const folder of ['Certificado', 'web', 'dll']) assert.ok(!fs.existsSync(installed(folder)), folder);
    assert.ok(!fs.existsSync(START_MENU), 'nothing left in the Start menu');
    assert.deepEqual(fs.readdirSync(FOLDER).sort(), [...RECORD_FOLDERS].sort(), 'only the records stay');
    // The uninstaller stops the service, which still writes its last lines: the records
    // only grow, and the database stays (its write-ahead log folded into it at the stop).
    const after = records();
    const lasting = Object.keys(kept).filter((name) => !/\.db-(wal|shm)$/.test(name));
    const lost = lasting.filter((name) => !(name in after));
    assert.deepEqual(lost, [], 'no record removed');
    const changed = lasting.filter((name) => !name.endsWith('.db') && !after[name].startsWith(kept[name]));
    assert.deepEqual(changed, [], 'no record rewritten');
    assert.ok(Object.keys(after).some((name) => name.endsWith('.db')), 'the results database stays');

    const query = manager('config', SERVICE_NAME);
    assert.equal(query.status, 2, `not registered any more:\n${query.output}`);
    assert.equal(registryValues(SERVICE_KEY), null, 'no registration in the registry');
    assert.equal(serviceProcesses().length, 0);
    assert.equal(await tryConnect(port), 'ECONNREFUSED');
  });

  test('a silent install whose service cannot be registered ends with an error code', async () => {
    // Another program's service under the same name, which the installer must not take over.
    const taken = wine(['sc', 'create', SERVICE_NAME, 'binpath=', 'C:\\outro\\servico.exe']);
    assert.equal(taken.status, 0, taken.output);
    const run = wine([INSTALLER, '/S', '/ARCH=x64', `/PORT=${port}`, '/DEMO'], { timeoutMs: INSTALL_TIMEOUT_MS });
    assert.equal(run.status, 2, run.output);
    assert.equal(configOf(manager('config', SERVICE_NAME).output).binary_path, 'C:\\outro\\servico.exe');

    const uninstall = wine([`${FOLDER_WINDOWS}\\Uninstall.exe`, '/S'], { timeoutMs: INSTALL_TIMEOUT_MS });
    assert.equal(uninstall.status, 0, uninstall.output);
    assert.ok(
      await waitUntil(() => registryValues(UNINSTALL_KEY) === null && !fs.existsSync(installed('Uninstall.exe')), 60000),
      'the uninstaller finished',
    );
  });
});
