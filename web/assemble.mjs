// Lays out the demo page as it is served: the page, the client module under client/ and the
// QR library under vendor/, taken from this folder's node_modules (npm ci).
//   node web/assemble.mjs OUT_DIR
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const out = path.resolve(process.argv[2] ?? 'build/web');

const parts = [
  { from: path.join(here, 'page'), to: out },
  { from: path.join(here, '../clients/js/src'), to: path.join(out, 'client') },
];
// The library ships these ES modules as they are (not minified); its licence is in their
// header.
const QR_FILES = ['qrcode.mjs', 'qrcode_UTF8.mjs'];
const qrDist = path.join(here, 'node_modules/qrcode-generator/dist');

if (!fs.existsSync(qrDist)) {
  console.error(`assemble: ${qrDist} is missing; run npm ci in ${here} (scripts/setup.sh does).`);
  process.exit(1);
}
fs.rmSync(out, { recursive: true, force: true });
for (const { from, to } of parts) fs.cpSync(from, to, { recursive: true });
fs.mkdirSync(path.join(out, 'vendor/qrcode-generator'), { recursive: true });
for (const file of QR_FILES) {
  fs.copyFileSync(path.join(qrDist, file), path.join(out, 'vendor/qrcode-generator', file));
}
console.log(`assemble: demo page in ${out}`);
