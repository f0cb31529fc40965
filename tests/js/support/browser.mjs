// Debian's Chromium, headless, driven by playwright-core (which never downloads a browser),
// trusting the demo CA the way the README tells a person to: in the NSS database of a fresh
// home folder. And the demo page, assembled and served over HTTPS by web/serve.mjs.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { SOURCE_DIR, WINDOWS_BUILD, WINE, waitUntil, winePath } from './app-folder.mjs';

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
// `host` (an address, to have the page come from that one alone). When a Windows build is
// tested, a page on localhost is served as the Windows demo serves it: by that build's
// qv-web-server.exe under Wine (which listens on every loopback address, so a page on one
// address alone still comes from web/serve.mjs).
export async function servePage(app, { host = 'localhost' } = {}) {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-web-'));
  const root = path.join(work, 'page');
  execFileSync(process.execPath, [path.join(SOURCE_DIR, 'web/assemble.mjs'), root]);
  const windows = WINDOWS_BUILD && host === 'localhost';
  // Through a file: a pipe would stay open in any process Wine starts beside the program.
  const outputFile = path.join(work, 'server-output.txt');
  const output = fs.openSync(outputFile, 'w');
  const server = windows
    ? spawn(
        WINE,
        [
          path.join(WINDOWS_BUILD, 'tools/qv-web-server/qv-web-server.exe'),
          '--root', winePath(root),
          '--port', '0',
          '--certificates', winePath(app.file('Certificado')),
        ],
        { stdio: ['ignore', output, output] },
      )
    : spawn(
        process.execPath,
        [
          path.join(SOURCE_DIR, 'web/serve.mjs'),
          '--root', root,
          '--port', '0',
          '--host', host,
          '--cert', app.file('Certificado/server_cert.pem'),
          '--key', app.file('Certificado/server_key.pem'),
        ],
        { stdio: ['ignore', output, output] },
      );
  fs.closeSync(output);
  let ended = false;
  const exited = new Promise((resolve) => server.once('exit', () => resolve((ended = true))));
  const serving = () => /serving (https:\/\/\S+)/.exec(fs.readFileSync(outputFile, 'utf8'))?.[1];
  await waitUntil(() => ended || serving(), 30000);
  const url = serving();
  if (!url || ended) {
    const output = fs.readFileSync(outputFile, 'utf8');
    server.kill('SIGKILL');
    await exited;
    fs.rmSync(work, { recursive: true, force: true });
    throw new Error(`the page server did not start: ${output}`);
  }
  return {
    url,
    port: Number(new URL(url).port),
    root,
    async close() {
      server.kill('SIGTERM');
      await exited;
      fs.rmSync(work, { recursive: true, force: true });
    },
  };
}
