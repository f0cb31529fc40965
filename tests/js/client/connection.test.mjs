// Connections that cannot be opened or go away: every waiting request learns it.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { WebSocket } from 'ws';
import { QuorvexTefClient } from '../../../clients/js/src/index.js';
import { AppFolder, freePort, mintToken } from '../support/app-folder.mjs';
import { connectedClient } from '../support/client.mjs';
import { serviceForSuite } from '../support/suite.mjs';

describe('connection', () => {
  const suite = serviceForSuite();

  test('a connection that cannot be opened rejects connect() and no request is sent', async () => {
    const port = await freePort();
    const untrusted = new QuorvexTefClient({ url: suite.app.url, WebSocket });
    const nobody = new QuorvexTefClient({ url: `wss://localhost:${port}`, WebSocket });
    for (const client of [untrusted, nobody]) {
      await assert.rejects(client.connect(), (error) => {
        assert.equal(error.name, 'ConnectionClosedError');
        assert.match(error.message, /^Não foi possível conectar ao serviço TEF em wss:\/\/localhost:\d+\.$/);
        assert.match(error.cause.code, /^(SELF_SIGNED_CERT_IN_CHAIN|ECONNREFUSED)$/);
        return true;
      });
      assert.equal(client.connected, false);
      await assert.rejects(client.version(), { name: 'NotConnectedError', message: 'Não há conexão com o serviço TEF.' });
    }
  });

  test('closing ends the requests still queued, and the client can connect again', async () => {
    const client = await connectedClient(suite.app);
    const closed = new Promise((resolve) => client.addEventListener('close', (event) => resolve(event.detail)));
    await client.startSession(mintToken());
    const queued = [client.version(), client.initialize(), client.version('clisitef_dll')];
    client.close();
    const outcomes = await Promise.allSettled(queued);
    await closed;
    // Whatever was answered before the close stays answered; the rest fails as closed.
    for (const outcome of outcomes) {
      if (outcome.status === 'rejected') {
        assert.match(outcome.reason.name, /^(ConnectionClosedError|NotConnectedError)$/);
      }
    }
    assert.equal(outcomes.at(-1).status, 'rejected');

    await client.connect();
    // The session outlives the connection.
    assert.equal((await client.initialize()).message, 'Inicializado com sucesso.');
    client.close();
  });

  test('a service that stops closes the client, and later requests fail at once', async () => {
    const own = new AppFolder();
    await own.start();
    const client = await connectedClient(own);
    const closed = new Promise((resolve) => client.addEventListener('close', resolve));
    await own.stop();
    await closed;
    assert.equal(client.connected, false);
    await assert.rejects(client.version(), { name: 'NotConnectedError' });
    await own.remove();
  });
});
