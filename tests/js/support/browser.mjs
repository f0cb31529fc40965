// Debian's Chromium, headless, driven by playwright-core (which never downloads a browser),
// trusting the demo CA the way the README tells a person to: in the NSS database of a fresh
// home folder. And the demo page, assembled and served over HTTPS by web/serve.mjs.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { SOURCE_DIR } from './app-folder.mjs';

const CHROMIUM = '/usr/bin/chromium';
const FLAGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--lang=pt-BR',
];

// A browser whose home trusts `caFile`, started with the command-line switches `args` too;
// close() removes its folders.
export async function launchBrowser(caFile, { args = [] } = {}) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-browser-home-'));
  const nssdb = `sql:${path.join(home, '.pki/nssdb')}`;
  fs.mkdirSync(path.join(home, '.pki/nssdb'), { recursive: true });
  execFileSync('certutil', ['-d', nssdb, '-N', '--empty-password']);
  execFileSync('certutil', ['-d', nssdb, '-A', '-t', 'C,,', '-n', 'Quorvex TEF demo CA', '-i', caFile]);
  const context = await chromium.launchPersistentContext(path.join(home, 'profile'), {
    executablePath: CHROMIUM,
    headless: true,
    args: [...FLAGS, ...args],
    env: { ...process.env, HOME: home },
    viewport: { width: 1440, height: 1000 },
    locale: 'pt-BR',
    timezoneId: 'America/Sao_Paulo',
  });
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(home, { recursive: true, force: true });
    },
  };
}

// The page assembled into a temporary folder and served with the app folder's certificate, on
// `host` (an address, to have the page come from that one alone).
export async function servePage(app, { host = 'localhost' } = {}) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-web-'));
  execFileSync(process.execPath, [path.join(SOURCE_DIR, 'web/assemble.mjs'), root]);
  const server = spawn(
    process.execPath,
    [
      path.join(SOURCE_DIR, 'web/serve.mjs'),
      '--root', root,
      '--port', '0',
      '--host', host,
      '--cert', app.file('Certificado/server_cert.pem'),
      '--key', app.file('Certificado/server_key.pem'),
    ],
    { stdio: ['ignore', 'pipe', 'inherit'] },
  );
  const url = await new Promise((resolve, reject) => {
    let output = '';
    server.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /serving (https:\/\/\S+)/.exec(output);
      if (match) resolve(match[1]);
    });
    server.once('exit', (code) => reject(new Error(`serve.mjs ended (${code}): ${output}`)));
  });
  return {
    url,
    port: Number(new URL(url).port),
    root,
    async close() {
      const ended = new Promise((resolve) => server.once('exit', resolve));
      server.kill('SIGTERM');
      await ended;
      fs.rmSync(root, { recursive: true, force: true });
    },
  };
}
