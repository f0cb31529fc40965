// web/serve.mjs: the demo page's files with the types browsers need for ES modules, and
// nothing from outside its folder.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import https from 'node:https';
import { after, before, describe, test } from 'node:test';
import { AppFolder } from '../support/app-folder.mjs';
import { servePage } from '../support/browser.mjs';

describe('static server of the demo page', () => {
  let app;
  let site;
  let ca;
  before(async () => {
    app = new AppFolder();
    site = await servePage(app);
    ca = fs.readFileSync(app.caFile);
  });
  after(async () => {
    await site.close();
    await app.remove();
  });

  // The raw path is sent as it stands (no client-side normalisation of "..").
  function get(rawPath) {
    const { hostname, port } = new URL(site.url);
    return new Promise((resolve, reject) => {
      https
        .get({ hostname, port, path: rawPath, ca }, (response) => {
          let body = '';
          response.setEncoding('utf8');
          response.on('data', (chunk) => (body += chunk));
          response.on('end', () => resolve({ status: response.statusCode, type: response.headers['content-type'], body }));
        })
        .on('error', reject);
    });
  }

  test('page, client module and QR library are served with their types', async () => {
    const cases = [
      ['/', 'text/html; charset=utf-8', /<title>Caixa/],
      ['/js/app.js', 'text/javascript; charset=utf-8', /import/],
      ['/client/index.js', 'text/javascript; charset=utf-8', /QuorvexTefClient/],
      ['/vendor/qrcode-generator/qrcode.mjs', 'text/javascript; charset=utf-8', /export default qrcode/],
      ['/css/pos.css', 'text/css; charset=utf-8', /--brand/],
      ['/favicon.svg', 'image/svg+xml', /<svg/],
    ];
    for (const [request, type, content] of cases) {
      const response = await get(request);
      assert.equal(response.status, 200, request);
      assert.equal(response.type, type, request);
      assert.match(response.body, content, request);
    }
  });

  test('paths outside the page or to nothing are not found', async () => {
    // A folder beside the page's whose name starts with the page folder's own.
    const beside = `${site.root}x`;
    fs.mkdirSync(beside);
    fs.writeFileSync(path.join(beside, 'secret.txt'), 'secret');
    try {
      const name = `${path.basename(beside)}/secret.txt`;
      const outside = [`/../${name}`, `/%2e%2e/${name}`, `/js/../../${name}`, `/..%2f${name}`];
      for (const request of [...outside, '/%00', '/%E0%A4%A', '/nada.html', '/js/']) {
        assert.equal((await get(request)).status, 404, request);
      }
    } finally {
      fs.rmSync(beside, { recursive: true, force: true });
    }
  });
});
