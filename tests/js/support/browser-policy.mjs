// The machine's Chromium policy folder, written by qv-browser-policy for a test. The folder is
// the whole machine's and Chromium takes each policy from one file of it only (the last by
// name), so runs of such a test on the same machine take turns, and files left behind by a
// run that was killed are removed by the next. Writing there needs root.
import crypto from 'node:crypto';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { BUILD_DIR, waitUntil } from './app-folder.mjs';

export const POLICY_FOLDER = '/etc/chromium/policies/managed';
const POLICY_TOOL = path.join(BUILD_DIR, 'tools/qv-browser-policy/qv-browser-policy');
const TEST_FILE_PREFIX = 'quorvex-tef-test-';
const TURN_FILE = path.join(os.tmpdir(), 'quorvex-tef-browser-policy.turn');

function alive(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch (error) {
    return error.code === 'EPERM';
  }
}

// Takes the turn when nobody holds it or its holder is gone.
function takeTurn() {
  try {
    fs.writeFileSync(TURN_FILE, String(process.pid), { flag: 'wx' });
    return true;
  } catch (error) {
    if (error.code !== 'EEXIST') throw error;
  }
  const holder = Number(fs.readFileSync(TURN_FILE, 'utf8'));
  if (holder && alive(holder)) return false;
  fs.rmSync(TURN_FILE, { force: true });
  return false;
}

function removeLeftovers() {
  if (!fs.existsSync(POLICY_FOLDER)) return;
  for (const name of fs.readdirSync(POLICY_FOLDER)) {
    const match = new RegExp(`^${TEST_FILE_PREFIX}(\\d+)-`).exec(name);
    if (match && !alive(Number(match[1]))) fs.rmSync(path.join(POLICY_FOLDER, name), { force: true });
  }
}

function requireRoot() {
  if (process.getuid() !== 0) {
    throw new Error(
      `this test writes a browser policy into ${POLICY_FOLDER}, which only root may do: run it as root ` +
        `(CI does); it runs as uid ${process.getuid()}`,
    );
  }
}

// The folder for this run: waits up to `timeoutMs` for another run's turn to end. `name` is the
// run's own file name (without .json); write() runs qv-browser-policy for `origin`, remove()
// takes the file back; release() removes it whatever happened and ends the turn.
export async function claimPolicyFolder(timeoutMs = 180000) {
  requireRoot();
  if (!(await waitUntil(takeTurn, timeoutMs))) {
    throw new Error(`another test run kept ${TURN_FILE} for ${timeoutMs} ms`);
  }
  removeLeftovers();
  const name = `${TEST_FILE_PREFIX}${process.pid}-${crypto.randomBytes(4).toString('hex')}`;
  const file = path.join(POLICY_FOLDER, `${name}.json`);
  const run = (args) => execFileSync(POLICY_TOOL, [...args, '--browser', 'chromium', '--name', name], { encoding: 'utf8' });
  return {
    file,
    write: (origin) => run(['--origin', origin]),
    remove: () => run(['--remove']),
    release() {
      fs.rmSync(file, { force: true });
      if (fs.existsSync(TURN_FILE) && fs.readFileSync(TURN_FILE, 'utf8') === String(process.pid)) fs.rmSync(TURN_FILE);
    },
  };
}
