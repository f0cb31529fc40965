// "/version", "/health" and "/print" through the client: replies, the service's error texts, and a
// queued document, which the service answers with nothing at all.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';
import { AppFolder, SOURCE_DIR, waitUntil } from '../support/app-folder.mjs';
import { connectedClient } from '../support/client.mjs';
import { serviceForSuite } from '../support/suite.mjs';

const PROJECT_VERSION = /project\(\w+ VERSION ([\d.]+)/.exec(
  fs.readFileSync(path.join(SOURCE_DIR, 'CMakeLists.txt'), 'utf8'),
)[1];

const PDF = new TextEncoder().encode('%PDF-1.4\n1 0 obj <<>> endobj\ntrailer <<>>\n%%EOF\n');

describe('version', () => {
  const suite = serviceForSuite({ client: 'connected' });

  test('the installed version, and a newer one announced is recorded', async () => {
    const { app, client } = suite;
    assert.deepEqual(await client.version(), {
      type: 'version',
      category: 'service_exe',
      version: PROJECT_VERSION,
      updating: false,
    });
    const announced = await client.version('service_exe', {
      version: '1.0.0.65535',
      downloadUrl: 'https://loja.example/atualizacao',
    });
    assert.equal(announced.updating, true);
    const ini = fs.readFileSync(app.file('QuorvexSiTefService.ini'), 'latin1');
    assert.match(ini, /need_update *= *1/);
    assert.match(ini, /download_url *= *https:\/\/loja.example\/atualizacao/);
    await assert.rejects(client.version('manual'), {
      name: 'ServiceError',
      message: 'Categoria inválida. Valores permitidos [service_exe, clisitef_dll]',
    });
  });

  test('the health of the service, also without a session', async () => {
    const health = await suite.client.health();
    assert.equal(health.version, PROJECT_VERSION);
    assert.equal(health.operation_running, false);
    assert.ok(health.connections >= 1);
  });
});

describe('print', () => {
  test('without a printer the document is refused with the service text', async () => {
    const app = new AppFolder();
    await app.start();
    const client = await connectedClient(app);
    try {
      await assert.rejects(client.print(PDF), { name: 'ServiceError', message: 'Impressora não definida.' });
      // The connection goes on in step: the next request gets its own reply.
      assert.equal((await client.version()).category, 'service_exe');
    } finally {
      client.close();
      await app.remove();
    }
  });

  test('accepted documents resolve as queued; refused ones carry every error text', async () => {
    const app = new AppFolder({ ini: ['printer=fila-de-teste'] });
    app.installPrintProgram();
    await app.start();
    const client = await connectedClient(app);
    try {
      const base64 = Buffer.from(PDF).toString('base64');
      const documents = [PDF, PDF.buffer, new Blob([PDF]), `data:application/pdf;base64,${base64}`];
      for (const document of documents) {
        assert.deepEqual(await client.print(document), { status: 'queued' });
      }
      assert.ok(
        await waitUntil(() => app.log().split('Arquivo adicionado na fila:').length - 1 === documents.length),
        app.log(),
      );

      await assert.rejects(client.print('   '), { message: 'Campo "data" não foi preenchido.' });
      await assert.rejects(client.print('%%%'), (error) => {
        assert.equal(error.texts.length, 2, error.texts.join(' | '));
        assert.match(error.texts[0], /^Erro na conversão do arquivo: /);
        assert.equal(error.texts[1], 'Arquivo convertido não localizado.');
        assert.equal(error.message, error.texts[0]);
        return true;
      });
    } finally {
      client.close();
      await app.remove();
    }
  });
});
