// When a connection that failed before opening is put down to the browser's Local Network
// Access check: from the permission's state where the browser exposes it, otherwise from where
// the page and the service are. The real browser's side is in ../browser/local-network.test.mjs.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { QuorvexTefClient } from '../../../clients/js/src/index.js';
import { addressSpace, blockedByLocalNetworkAccess } from '../../../clients/js/src/local-network.js';

describe('Local Network Access', () => {
  test('host names are placed in address spaces from their form alone', () => {
    const LOOPBACK = 2;
    const LOCAL = 1;
    const PUBLIC = 0;
    const cases = {
      localhost: LOOPBACK,
      'LocalHost.': LOOPBACK,
      'tef.localhost': LOOPBACK,
      '127.0.0.1': LOOPBACK,
      '127.8.9.10': LOOPBACK,
      '[::1]': LOOPBACK,
      '10.1.2.3': LOCAL,
      '172.16.0.1': LOCAL,
      '172.31.255.255': LOCAL,
      '192.168.0.10': LOCAL,
      '169.254.1.1': LOCAL,
      '[fd12::1]': LOCAL,
      '[fe80::1]': LOCAL,
      'caixa01': LOCAL,
      'tef.loja.local': LOCAL,
      '172.32.0.1': PUBLIC,
      '8.8.8.8': PUBLIC,
      '256.1.1.1': PUBLIC,
      '[2001:db8::1]': PUBLIC,
      'pdv.loja.example': PUBLIC,
    };
    for (const [host, space] of Object.entries(cases)) assert.equal(addressSpace(host), space, host);
  });

  test('a refusal is the check\'s when the permission is denied, or undecided for a page less private than the service', () => {
    const shop = 'https://pdv.loja.example/caixa';
    const local = 'wss://localhost:8443';
    const cases = [
      // [page, service, permission, chromium, blocked]
      [shop, local, 'denied', true, true],
      [shop, local, 'granted', true, false],
      [shop, local, 'prompt', false, true],
      [shop, local, undefined, true, true],
      [shop, local, undefined, false, false],
      [shop, 'wss://127.0.0.1:8443', 'prompt', true, true],
      [shop, 'wss://[::1]:8443', 'prompt', true, true],
      [shop, 'wss://192.168.0.10:8443', 'prompt', true, true],
      [shop, 'wss://caixa01:8443', 'prompt', true, true],
      [shop, 'wss://tef.loja.example:8443', 'prompt', true, false],
      ['https://192.168.0.5/', local, 'prompt', true, true],
      ['https://192.168.0.5/', 'wss://192.168.0.10:8443', 'prompt', true, false],
      // A page of the machine itself is exempt: its refusals are the service's (not running).
      ['https://localhost:8444/', local, 'prompt', true, false],
      ['https://localhost:8444/', local, undefined, true, false],
      // ...unless the browser says it denied it (a page it treats as public).
      ['https://localhost:8444/', local, 'denied', true, true],
    ];
    for (const [pageUrl, serviceUrl, permission, chromium, blocked] of cases) {
      assert.equal(
        blockedByLocalNetworkAccess({ pageUrl, serviceUrl, permission, chromium }),
        blocked,
        `${pageUrl} → ${serviceUrl}, ${permission}, chromium: ${chromium}`,
      );
    }
  });

  // A page of the shop's in a browser that asks: `states` are what the permission reads at
  // each query, `outcomes` how each connection attempt ends ('open' or 'fail').
  async function connectInBrowser(states, outcomes) {
    const saved = { location: globalThis.location, navigator: globalThis.navigator };
    let queries = 0;
    const attempts = [];
    globalThis.location = { protocol: 'https:', href: 'https://pdv.loja.example/caixa' };
    globalThis.navigator = {
      permissions: { query: async () => ({ state: states[Math.min(queries++, states.length - 1)] }) },
      userAgentData: { brands: [{ brand: 'Chromium' }] },
    };
    const createWebSocket = (url) => {
      const socket = new EventTarget();
      socket.readyState = 0;
      socket.close = () => {};
      const outcome = outcomes[attempts.push(url) - 1];
      setTimeout(() => {
        if (outcome === 'open') {
          socket.readyState = 1;
          socket.dispatchEvent(new Event('open'));
        } else {
          socket.dispatchEvent(new Event('error'));
          socket.dispatchEvent(new Event('close'));
        }
      }, 1);
      return socket;
    };
    try {
      const client = new QuorvexTefClient({ url: 'wss://localhost:8443', createWebSocket });
      const result = await client.connect().then(
        () => 'connected',
        (error) => error.name,
      );
      return { result, attempts: attempts.length };
    } finally {
      Object.assign(globalThis, saved);
    }
  }

  test('a page allowed only after the service dropped its waiting connection connects once more by itself', async () => {
    const cases = [
      // [permission at each query, attempts' outcomes, result, attempts made]
      [['prompt', 'granted'], ['fail', 'open'], 'connected', 2],
      [['prompt', 'granted'], ['fail', 'fail'], 'ConnectionClosedError', 2],
      // Still undecided or refused: the check's refusal, no second attempt.
      [['prompt', 'prompt'], ['fail', 'open'], 'LocalNetworkAccessError', 1],
      [['prompt', 'denied'], ['fail', 'open'], 'LocalNetworkAccessError', 1],
      // Allowed before: a failure is the service's, and is not tried again.
      [['granted'], ['fail', 'open'], 'ConnectionClosedError', 1],
      [['granted'], ['open'], 'connected', 1],
    ];
    for (const [states, outcomes, result, attempts] of cases) {
      assert.deepEqual(await connectInBrowser(states, outcomes), { result, attempts }, `${states} ${outcomes}`);
    }
  });
});
