// Sessions, "/initialize" and the service's error texts through the client, against the real
// service with the simulated payment library.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { ServiceError } from '../../../clients/js/src/index.js';
import { mintToken } from '../support/app-folder.mjs';
import { connectedClient, recordingHandlers } from '../support/client.mjs';
import { serviceForSuite } from '../support/suite.mjs';

describe('sessions', () => {
  const suite = serviceForSuite();

  test('a session start shows the library starting, then the session is usable and finished', async () => {
    const { handlers, seen } = recordingHandlers();
    const client = await connectedClient(suite.app, { handlers });
    try {
      const session = await client.startSession(mintToken({ secctional_code: '12' }));
      assert.equal(session.status, 'created');
      // The reply carries "Sess\u00E3o": the client reads JSON, not bytes.
      assert.equal(session.message, 'Sessão criada com sucesso.');
      assert.match(session.session_uuid, /^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$/);
      assert.equal(client.sessionUuid, session.session_uuid);
      assert.equal(session.terminal_number, 'AG001200');
      assert.ok(Date.parse(session.expiration) > Date.now());
      assert.deepEqual(
        seen.map((prompt) => [prompt.type, prompt.message]),
        [
          ['message', 'Inicializando TEF...'],
          ['message', ''],
        ],
      );
      assert.ok(suite.app.journal().some((line) => line.startsWith('ConfiguraIntSiTefInterativoEx ')));

      assert.deepEqual(await client.initialize(), { type: 'initialize', message: 'Inicializado com sucesso.' });
      const finished = await client.finishSession();
      assert.equal(finished.message, 'Sessão finalizada com sucesso.');
      assert.equal(client.sessionUuid, null);
      await assert.rejects(client.initialize(), { name: 'ServiceError', message: 'Campo session_uuid nao encontrado.' });
    } finally {
      client.close();
    }
  });

  test('refused tokens reject with the service text and leave the client usable', async () => {
    const token = mintToken();
    const [header, payload, signature] = token.split('.');
    const cases = [
      { token: `${header}.${payload}`, text: 'Malformed Compact Serialization' },
      { token: `${header}.${payload}.${signature.slice(1)}A`, text: 'Acesso não autorizado.' },
      { token: 'a.b.c', text: 'Dados de sessão inválidos.' },
      { token: mintToken({ sale_id: '0' }), text: 'ID de venda não informado.' },
      { token: mintToken({ callback_url: '  ' }), text: 'URL de callback não informada.' },
    ];
    const client = await connectedClient(suite.app);
    try {
      for (const { token: bad, text } of cases) {
        await assert.rejects(client.startSession(bad), (error) => {
          assert.ok(error instanceof ServiceError, `${bad}: ${error}`);
          assert.equal(error.message, text);
          assert.equal(error.route, '/session/start');
          return true;
        });
        assert.equal(client.sessionUuid, null);
      }
      const session = await client.startSession(token);
      assert.equal(session.status, 'created');
    } finally {
      client.close();
    }
  });

  test('a session outlives its connection and ends for every client that holds it', async () => {
    const first = await connectedClient(suite.app);
    const second = await connectedClient(suite.app);
    try {
      const { session_uuid } = await first.startSession(mintToken());
      first.close();
      second.useSession(session_uuid);
      assert.equal((await second.initialize()).message, 'Inicializado com sucesso.');
      assert.equal((await second.finishSession()).status, 'finished');
      second.useSession(session_uuid);
      await assert.rejects(second.initialize(), { name: 'ServiceError', message: 'Sessão inválida.' });
    } finally {
      first.close();
      second.close();
    }
  });
});
