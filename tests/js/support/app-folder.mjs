// An application folder in a temporary place, laid out as the service expects it: the
// executable (hard link or copy), Certificado/ from scripts/make-certificates.sh,
// QuorvexSiTefService.ini with a free port, and the simulated payment library in dll/ with the
// scenario a test gives. start() runs the service; stop() ends it and removes the folder.
import { execFile, execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const SOURCE_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
// The build folder whose programs are tested (CTest passes its own).
export const BUILD_DIR = process.env.QV_BUILD_DIR ?? path.join(SOURCE_DIR, 'build');

// QV_TEST_WINDOWS_BUILD names a 64-bit Windows build folder (build-windows/x64): each folder
// then holds that build's service and payment library, run under Wine's 64-bit loader
// (QV_TEST_WINE) in the Wine prefix of the environment, whose server the runner keeps up.
export const WINDOWS_BUILD = process.env.QV_TEST_WINDOWS_BUILD ? path.resolve(process.env.QV_TEST_WINDOWS_BUILD) : null;
export const WINE = process.env.QV_TEST_WINE ?? '/usr/lib/wine/wine64';

const SERVICE_NAME = WINDOWS_BUILD ? 'QuorvexSiTefService.exe' : 'QuorvexSiTefService';
const SERVICE_PROGRAM = path.join(WINDOWS_BUILD ?? BUILD_DIR, 'src', SERVICE_NAME);
const SIMULATED_LIBRARY = WINDOWS_BUILD
  ? windowsLibrary(path.join(WINDOWS_BUILD, 'tools/clisitef-sim'))
  : path.join(BUILD_DIR, 'tools/clisitef-sim/libclisitef.so');
// The print program and the library it needs: on Windows a stand-in for the PDF program the
// shops install (it records its calls and prints nothing) and a placeholder of its library.
const PRINT_PROGRAM = WINDOWS_BUILD
  ? { 'SumatraPDF.exe': path.join(WINDOWS_BUILD, 'tests/support/print_stand_in_program/qv-print-stand-in.exe'), 'libmupdf.dll': null }
  : Object.fromEntries(['QuorvexPrintPDF', 'libquorvexprint.so'].map((name) => [name, path.join(BUILD_DIR, 'tools/print-pdf', name)]));
const CONTROL_PROGRAM = WINDOWS_BUILD && path.join(WINDOWS_BUILD, 'tests/support/service_control_program/qv-service-control.exe');
const TOKEN_TOOL = path.join(BUILD_DIR, 'tools/qv-token/qv-token');
const DEMO_SCENARIO = path.join(SOURCE_DIR, 'tools/clisitef-sim/demo-scenario.json');

// The simulated library of a Windows build, named as that build loads it (CliSiTef64I.dll).
function windowsLibrary(folder) {
  const name = fs.readdirSync(folder).find((file) => /^CliSiTef.*\.dll$/.test(file));
  if (!name) throw new Error(`no simulated library in ${folder}`);
  return path.join(folder, name);
}

// How a Windows program under Wine names a file of this system: its Z: drive path.
export function winePath(file) {
  return `Z:${file.replaceAll('/', '\\')}`;
}

// The service's own environment variables as it sees them: under Wine, paths become Z: drive
// paths and the temporary folder (TMPDIR, under which Wine keeps its server's socket, so the
// test's own stays) reaches Windows as QV_TEST_TEMP, which the runner's Wine prefix takes
// TEMP and TMP from.
function programEnvironment(env) {
  if (!WINDOWS_BUILD) return env;
  const { TMPDIR: temp = os.tmpdir(), ...rest } = env;
  const converted = Object.entries(rest).map(([name, value]) => [name, String(value).startsWith('/') ? winePath(value) : value]);
  return { ...Object.fromEntries(converted), QV_TEST_TEMP: winePath(temp) };
}

// What a signal asks of the service under Wine, where a real signal would end it at once.
const CONTROLS = { SIGTERM: 'stop', SIGINT: 'stop', SIGUSR1: 'pause', SIGUSR2: 'continue' };

let certificates;

// Certificates are made once per test process and copied into every folder.
function certificateFolder() {
  if (!certificates) {
    certificates = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-js-certs-'));
    execFileSync('bash', [path.join(SOURCE_DIR, 'scripts/make-certificates.sh'), certificates]);
    process.on('exit', () => fs.rmSync(certificates, { recursive: true, force: true }));
  }
  return certificates;
}

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

function connects(port) {
  return new Promise((resolve) => {
    const socket = net.connect(port, '127.0.0.1');
    socket.once('connect', () => {
      socket.destroy();
      resolve(true);
    });
    socket.once('error', () => resolve(false));
  });
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls `condition` every 20 ms until it holds; false after `timeoutMs`.
export async function waitUntil(condition, timeoutMs = 10000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    if (await condition()) return true;
    if (Date.now() >= deadline) return false;
    await sleep(20);
  }
}

// The token tool's arguments for the store of the demo (claims may be replaced).
export function tokenArguments(claims = {}) {
  const all = {
    secctional_code: '12',
    ip_address: '127.0.0.1',
    store_code: '00000000',
    additional_parameters: '',
    operator: 'Caixa 1',
    sale_id: '41',
    company_id: '3',
    callback_url: 'https://loja.example/retorno',
    ...claims,
  };
  return Object.entries(all).flatMap(([name, value]) => [`--${name}`, String(value)]);
}

// A session token for the store of the demo (claims may be replaced).
export function mintToken(claims = {}) {
  return execFileSync(TOKEN_TOOL, tokenArguments(claims), { encoding: 'utf8' }).trim();
}

export class AppFolder {
  #child = null;
  #exited = null;
  #controls = Promise.resolve();

  // scenario: the simulated library's scenario (an object), or the demo scenario.
  // env: environment variables of the service (the answer deadline, ...).
  // ini: more lines of the [sitef] section ("printer=demo").
  constructor({ scenario, env = {}, ini = [] } = {}) {
    this.ini = ini;
    this.path = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-js-app-'));
    this.port = 0;
    this.env = {
      TZ: 'America/Sao_Paulo',
      QV_CLISITEF_SCENARIO: this.file('scenario.json'),
      QV_CLISITEF_JOURNAL: this.file('journal.log'),
      QV_CLISITEF_POLL_MS: '0',
      ...env,
    };
    this.#link(SERVICE_PROGRAM, SERVICE_NAME);
    fs.mkdirSync(this.file('Certificado'));
    for (const name of ['ca_cert.pem', 'server_cert.pem', 'server_key.pem']) {
      fs.copyFileSync(path.join(certificateFolder(), name), this.file('Certificado', name));
    }
    fs.mkdirSync(this.file('dll'));
    fs.copyFileSync(SIMULATED_LIBRARY, this.file('dll', path.basename(SIMULATED_LIBRARY)));
    this.writeScenario(scenario ?? JSON.parse(fs.readFileSync(DEMO_SCENARIO, 'utf8')));
  }

  file(...parts) {
    return path.join(this.path, ...parts);
  }

  get caFile() {
    return this.file('Certificado/ca_cert.pem');
  }

  get url() {
    return `wss://localhost:${this.port}`;
  }

  // Read again by the library at every configuration (session start).
  writeScenario(scenario) {
    fs.writeFileSync(this.file('scenario.json'), JSON.stringify(scenario, null, 1));
  }

  // The library's journal: one line per call, notes (#) left out.
  journal() {
    if (!fs.existsSync(this.file('journal.log'))) return [];
    return fs
      .readFileSync(this.file('journal.log'), 'utf8')
      .split('\n')
      .filter((line) => line && !line.startsWith('#'));
  }

  // The service log of every day so far (Windows-1252 read as Latin-1: the tests look for
  // ASCII texts).
  log() {
    const root = this.file('Log');
    if (!fs.existsSync(root)) return '';
    return fs
      .readdirSync(root, { recursive: true })
      .filter((name) => path.basename(name).startsWith('QuorvexSiTefService '))
      .sort()
      .map((name) => fs.readFileSync(path.join(root, name), 'latin1'))
      .join('');
  }

  // samePort: listen where the last start did (a restart clients find again).
  async start({ samePort = false } = {}) {
    if (!samePort || !this.port) this.port = await freePort();
    const lines = ['[sitef]', `server_port=${this.port}`, ...this.ini];
    fs.writeFileSync(this.file('QuorvexSiTefService.ini'), lines.map((line) => `${line}\r\n`).join(''));
    const output = fs.openSync(this.file('output.txt'), 'w');
    // Wine's loader runs the program in the process it starts.
    const [program, args] = WINDOWS_BUILD ? [WINE, [this.file(SERVICE_NAME)]] : [this.file(SERVICE_NAME), []];
    this.#child = spawn(program, args, {
      cwd: this.path,
      env: { ...process.env, ...programEnvironment(this.env) },
      stdio: ['ignore', output, output],
    });
    fs.closeSync(output);
    this.#exited = new Promise((resolve) => this.#child.once('exit', (code, signal) => resolve({ code, signal })));
    let ended = false;
    this.#exited.then(() => (ended = true));
    const listening = await waitUntil(async () => ended || (await connects(this.port)), 20000);
    if (!listening || ended) {
      throw new Error(`the service did not listen on ${this.port}:\n${this.output()}`);
    }
  }

  // The print program beside the service, so that "/print" queues documents.
  installPrintProgram() {
    for (const [name, file] of Object.entries(PRINT_PROGRAM)) {
      if (file) fs.copyFileSync(file, this.file(name));
      else fs.writeFileSync(this.file(name), 'present');
    }
  }

  // Resolves with {code, signal} when the service ends by itself (QV_CRASH_AT).
  exited() {
    return this.#exited;
  }

  output() {
    return fs.existsSync(this.file('output.txt')) ? fs.readFileSync(this.file('output.txt'), 'utf8') : '';
  }

  // SIGUSR1 pauses the service (closing every connection), SIGUSR2 continues it; under Wine
  // the control program of the Windows build delivers them, in the order asked (resolves once
  // delivered).
  signal(name) {
    if (!WINDOWS_BUILD || !CONTROLS[name]) {
      this.#child?.kill(name);
      return Promise.resolve();
    }
    const args = [CONTROL_PROGRAM, CONTROLS[name], winePath(this.file(SERVICE_NAME))];
    this.#controls = this.#controls.then(
      () => new Promise((resolve) => execFile(WINE, args, { timeout: 30000 }, () => resolve())),
    );
    return this.#controls;
  }

  // SIGTERM, SIGKILL after 20 s; resolves with the exit code (0 after a clean stop).
  async stop() {
    let code = 0;
    if (this.#child && this.#child.exitCode === null && this.#child.signalCode === null) {
      await this.signal('SIGTERM');
      const timer = setTimeout(() => this.#child.kill('SIGKILL'), 20000);
      ({ code } = await this.#exited);
      clearTimeout(timer);
    }
    this.#child = null;
    return code;
  }

  async remove() {
    await this.stop();
    fs.rmSync(this.path, { recursive: true, force: true });
  }

  #link(source, name) {
    try {
      fs.linkSync(source, this.file(name));
    } catch {
      fs.copyFileSync(source, this.file(name));
      fs.chmodSync(this.file(name), 0o755);
    }
  }
}
