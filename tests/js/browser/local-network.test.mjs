// The demo page served from an origin the browser treats as public, as a shop's point of sale
// on its own domain is: Chromium's Local Network Access check refuses the connection to the
// service on localhost, and the page shows the client's message; once qv-browser-policy has
// written the managed policy for the page's origin, the whole credit payment goes through.
// (Without --ip-address-space-overrides a page on localhost is local and exempt.)
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { LOCAL_NETWORK_BLOCKED_TEXT } from '../../../clients/js/src/index.js';
import { AppFolder, BUILD_DIR, mintToken } from '../support/app-folder.mjs';
import { launchBrowser, servePage } from '../support/browser.mjs';
import { claimPolicyFolder } from '../support/browser-policy.mjs';

const SCREENSHOTS = path.join(BUILD_DIR, 'browser-screenshots');

describe('demo page from a public origin', () => {
  let app;
  let site;
  let origin;
  let policy;
  const browsers = [];

  // A fresh browser (policies are read at start) on the page, the page treated as public.
  async function openPage() {
    const browser = await launchBrowser(app.caFile, {
      args: [`--ip-address-space-overrides=127.0.0.1:${site.port}=public`],
    });
    browsers.push(browser);
    const page = await browser.context.newPage();
    page.setDefaultTimeout(20000);
    page.on('pageerror', (error) => console.error('page error:', error));
    await page.goto(`${origin}/?service=${encodeURIComponent(app.url)}&token=${mintToken()}`);
    return page;
  }

  before(async () => {
    fs.mkdirSync(SCREENSHOTS, { recursive: true });
    policy = await claimPolicyFolder();
    app = new AppFolder();
    await app.start();
    // On the IPv4 loopback alone, the address the switch names.
    site = await servePage(app, { host: '127.0.0.1' });
    origin = `https://localhost:${site.port}`;
  });
  after(async () => {
    for (const browser of browsers) await browser.close();
    policy?.release();
    await site?.close();
    await app?.remove();
  });

  test('without the policy the browser refuses the connection and the page says why', async () => {
    const page = await openPage();
    await page.click('#connect');
    await page.locator('#error', { hasText: LOCAL_NETWORK_BLOCKED_TEXT }).waitFor();
    assert.equal(await page.locator('#error').textContent(), LOCAL_NETWORK_BLOCKED_TEXT);
    assert.equal(await page.locator('#connection-state').textContent(), 'Desconectado');
    // The browser answered no prompt: it says the permission is denied.
    const state = await page.evaluate(async () => (await navigator.permissions.query({ name: 'loopback-network' })).state);
    assert.equal(state, 'denied');
    await page.screenshot({ path: path.join(SCREENSHOTS, 'local-network-1-refused.png'), fullPage: true });
  });

  test('with the policy qv-browser-policy writes, the whole credit payment goes through', async () => {
    const output = policy.write(origin);
    assert.match(output, new RegExp(`^Chromium: wrote ${policy.file}$`, 'm'));
    assert.deepEqual(JSON.parse(fs.readFileSync(policy.file, 'utf8')), {
      LocalNetworkAccessAllowedForUrls: [origin],
    });

    const page = await openPage();
    await page.click('#connect');
    await page.locator('#connection-state.pill-on', { hasText: /Conectado · serviço \d/ }).waitFor();
    await page.click('#start-session');
    await page.locator('#session-state.pill-on', { hasText: 'Terminal AG001200' }).waitFor();
    await page.fill('#amount', '125,90');
    await page.click('button[data-method="credit"]');
    await page.locator('#terminal-message', { hasText: 'Caixa livre' }).waitFor();
    await page.locator('body:not(.busy)').waitFor();
    const result = page.locator('#result');
    assert.equal(await result.locator('.status').textContent(), 'Aprovada');
    assert.equal(await result.locator('dd[data-field="operation"]').textContent(), 'Crédito');
    assert.match(await result.locator('dd[data-field="transaction_value"]').textContent(), /^R\$\s125,90$/);
    assert.match(await page.locator('#receipts figure[data-copy="1"] pre').textContent(), /VIA DO CLIENTE/);
    assert.equal(await page.locator('#error').isVisible(), false);
    await page.screenshot({ path: path.join(SCREENSHOTS, 'local-network-2-allowed.png'), fullPage: true });

    assert.match(policy.remove(), new RegExp(`^Chromium: removed ${policy.file}$`, 'm'));
    assert.equal(fs.existsSync(policy.file), false);
  });
});
