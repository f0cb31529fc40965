// An application folder in a temporary place, laid out as the service expects it: the
// executable (hard link or copy), Certificado/ from scripts/make-certificates.sh,
// QuorvexSiTefService.ini with a free port, and the simulated payment library in dll/ with the
// scenario a test gives. start() runs the service; stop() ends it and removes the folder.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const SOURCE_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
// The build folder whose programs are tested (CTest passes its own).
export const BUILD_DIR = process.env.QV_BUILD_DIR ?? path.join(SOURCE_DIR, 'build');

const SERVICE_PROGRAM = path.join(BUILD_DIR, 'src/QuorvexSiTefService');
const SIMULATED_LIBRARY = path.join(BUILD_DIR, 'tools/clisitef-sim/libclisitef.so');
const PRINT_PROGRAM = ['QuorvexPrintPDF', 'libquorvexprint.so'].map((name) =>
  path.join(BUILD_DIR, 'tools/print-pdf', name),
);
const TOKEN_TOOL = path.join(BUILD_DIR, 'tools/qv-token/qv-token');
const DEMO_SCENARIO = path.join(SOURCE_DIR, 'tools/clisitef-sim/demo-scenario.json');

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

// A session token for the store of the demo (claims may be replaced).
export function mintToken(claims = {}) {
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
  const args = Object.entries(all).flatMap(([name, value]) => [`--${name}`, String(value)]);
  return execFileSync(TOKEN_TOOL, args, { encoding: 'utf8' }).trim();
}

export class AppFolder {
  #child = null;
  #exited = null;

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
    this.#link(SERVICE_PROGRAM, 'QuorvexSiTefService');
    fs.mkdirSync(this.file('Certificado'));
    for (const name of ['ca_cert.pem', 'server_cert.pem', 'server_key.pem']) {
      fs.copyFileSync(path.join(certificateFolder(), name), this.file('Certificado', name));
    }
    fs.mkdirSync(this.file('dll'));
    fs.copyFileSync(SIMULATED_LIBRARY, this.file('dll/libclisitef.so'));
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
    this.#child = spawn(this.file('QuorvexSiTefService'), [], {
      cwd: this.path,
      env: { ...process.env, ...this.env },
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
    for (const file of PRINT_PROGRAM) fs.copyFileSync(file, this.file(path.basename(file)));
  }

  // Resolves with {code, signal} when the service ends by itself (QV_CRASH_AT).
  exited() {
    return this.#exited;
  }

  output() {
    return fs.existsSync(this.file('output.txt')) ? fs.readFileSync(this.file('output.txt'), 'utf8') : '';
  }

  // SIGUSR1 pauses the service (closing every connection), SIGUSR2 continues it.
  signal(name) {
    this.#child?.kill(name);
  }

  // SIGTERM, SIGKILL after 20 s; resolves with the exit code (0 after a clean stop).
  async stop() {
    let code = 0;
    if (this.#child && this.#child.exitCode === null && this.#child.signalCode === null) {
      this.#child.kill('SIGTERM');
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
