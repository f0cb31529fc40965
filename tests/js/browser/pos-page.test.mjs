// The demo point-of-sale page in headless Chromium against the real service with the
// simulated payment library: credit payments in instalments (with the plan in the request,
// and through the library's own menus and fields), a PIX payment with its QR code, a declined
// payment, the cancellation of the first credit payment, a reprint, a payment the operator
// cancels while it waits, the PIN pad's status, a PDF sent to the printer and a payment whose
// connection drops (its outcome asked for once the service is back), each checked on the screen
// and photographed into <build>/browser-screenshots.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import jsQR from 'jsqr';
import { AppFolder, BUILD_DIR, SOURCE_DIR, mintToken, waitUntil } from '../support/app-folder.mjs';
import { launchBrowser, servePage } from '../support/browser.mjs';

const SCREENSHOTS = path.join(BUILD_DIR, 'browser-screenshots');
const PIX_QUESTION = 'Pagamento do PIX recebido?';

// The demo scenario, with the PIX payment waiting for a yes after showing its QR code, so
// that the test can read the code while it is on the screen.
function scenario() {
  const demo = JSON.parse(fs.readFileSync(path.join(SOURCE_DIR, 'tools/clisitef-sim/demo-scenario.json'), 'utf8'));
  const pix = demo.flows.pix;
  const qr = pix.findIndex((step) => step.command === 50);
  pix.splice(qr + 1, 0, { command: 20, text: PIX_QUESTION });
  return demo;
}

describe('demo point-of-sale page', () => {
  let app;
  let site;
  let browser;
  let page;
  // Everything the page wrote to its console.
  const consoleTexts = [];

  const terminal = () => page.locator('#terminal');
  const result = () => page.locator('#result');
  const field = (name) => result().locator(`dd[data-field="${name}"]`);
  const receipt = (copy) => page.locator(`#receipts figure[data-copy="${copy}"] pre`);

  async function shoot(name) {
    await page.screenshot({ path: path.join(SCREENSHOTS, `${name}.png`), fullPage: true });
  }

  // The terminal has gone back to idle: the operation is over.
  async function operationOver() {
    await page.locator('#terminal-message', { hasText: 'Caixa livre' }).waitFor();
    await page.locator('body:not(.busy)').waitFor();
  }

  async function startSale(amount, method) {
    await page.fill('#amount', amount);
    await page.click(`button[data-method="${method}"]`);
  }

  const option = (text) => terminal().getByRole('button', { name: text, exact: true });

  before(async () => {
    fs.mkdirSync(SCREENSHOTS, { recursive: true });
    app = new AppFolder({ scenario: scenario() });
    await app.start();
    site = await servePage(app);
    browser = await launchBrowser(app.caFile);
    page = await browser.context.newPage();
    page.setDefaultTimeout(20000);
    page.on('pageerror', (error) => console.error('page error:', error));
    page.on('console', (message) => consoleTexts.push(message.text()));
    await page.goto(`${site.url}?service=${encodeURIComponent(app.url)}&token=${mintToken()}`);
    await page.click('#connect');
    await page.locator('#connection-state.pill-on', { hasText: /Conectado · serviço \d/ }).waitFor();
    await page.click('#start-session');
    await page.locator('#session-state.pill-on', { hasText: 'Terminal AG001200' }).waitFor();
  });
  after(async () => {
    await browser?.close();
    await site?.close();
    await app?.remove();
  });

  let creditNsu;

  // Types `value` into the field prompt titled `title` and confirms it.
  async function answerField(title, value) {
    const prompt = terminal().locator('.prompt-collect');
    await prompt.getByText(title).waitFor();
    await prompt.locator('input').fill(value);
    await prompt.getByRole('button', { name: 'OK' }).click();
  }

  test('a credit payment in 3 instalments, the library\'s plan questions answered by the service', async () => {
    await page.selectOption('#installments', '3');
    await startSale('125,90', 'credit');
    await operationOver();

    assert.equal(await result().locator('.status').textContent(), 'Aprovada');
    assert.equal(await field('operation').textContent(), 'Crédito');
    assert.equal(await field('number_of_installments').textContent(), '3');
    assert.match(await field('transaction_value').textContent(), /^R\$\s125,90$/);
    creditNsu = await field('nsu_code').textContent();
    assert.match(creditNsu, /^\d+$/);
    assert.match(await receipt(1).textContent(), /EM 03 PARCELAS[\s\S]*VIA DO CLIENTE/);
    assert.match(await receipt(2).textContent(), /VIA DO ESTABELECIMENTO/);
    assert.equal(await page.locator(`#history tr[data-nsu="${creditNsu}"] td`).nth(4).textContent(), 'Aprovada');
    await shoot('1-credit-3-instalments');
  });

  test('a typed credit card through the library\'s own menus: menus as buttons, fields as inputs', async () => {
    await startSale('89,90', 'menu');
    await option('Cartao de Credito').click();
    await option('Digitado').waitFor();
    await shoot('2-library-menu');
    await option('Digitado').click();
    const typed = ['4111111111111111', '0931', '8642'];
    await answerField('Forneca o numero do cartao', typed[0]);
    await answerField('Forneca a data de vencimento do cartao (MMAA)', typed[1]);
    await answerField('Forneca o codigo de seguranca', typed[2]);
    await option('Parcelado pela Loja').click();
    await answerField('Forneca o numero de parcelas', '4');
    await operationOver();

    assert.equal(await result().locator('.status').textContent(), 'Aprovada');
    assert.equal(await field('card_number').textContent(), '411111******1111');
    assert.equal(await field('number_of_installments').textContent(), '4');
    assert.match(await receipt(1).textContent(), /EM 4 PARCELAS/);
    // What the operator typed never reaches the console.
    for (const value of typed) {
      assert.ok(!consoleTexts.some((text) => text.includes(value)), `${value}: ${consoleTexts.join('\n')}`);
    }
    await shoot('3-credit-typed-card');
  });

  test('a PIX payment shows its QR code as an image that reads back to the library\'s code', async () => {
    await startSale('48,00', 'pix');
    await terminal().getByText(PIX_QUESTION).waitFor();
    // The earlier approval is off the screen while this payment is undecided.
    assert.equal(await result().textContent(), 'Operação em andamento...');
    const image = page.locator('#qrcode');
    assert.equal(await image.isVisible(), true);
    const pixels = await image.evaluate((img) => {
      const canvas = document.createElement('canvas');
      canvas.width = img.naturalWidth;
      canvas.height = img.naturalHeight;
      const context = canvas.getContext('2d');
      context.drawImage(img, 0, 0);
      const { data, width, height } = context.getImageData(0, 0, canvas.width, canvas.height);
      return { data: Array.from(data), width, height };
    });
    const code = jsQR(Uint8ClampedArray.from(pixels.data), pixels.width, pixels.height);
    assert.match(code?.data ?? '', /^pix-demo:txid=DEMO\d+;valor=48\.00;loja=00000000$/);
    await shoot('4-pix-qrcode');

    await option('Sim').click();
    await operationOver();
    assert.equal(await result().locator('.status').textContent(), 'Aprovada');
    assert.equal(await field('operation').textContent(), 'PIX');
    assert.equal(await image.isVisible(), false);
    await shoot('5-pix-approved');
  });

  test('a declined payment shows the reason and no receipt', async () => {
    await startSale('10,51', 'debit');
    const notice = terminal().locator('.prompt-confirmation');
    await notice.waitFor();
    const reason = (await notice.locator('.prompt-title').textContent()).trim();
    assert.notEqual(reason, '');
    await notice.getByRole('button', { name: 'OK' }).click();
    await operationOver();

    assert.notEqual(await result().locator('.status').getAttribute('data-status'), 'approved');
    assert.equal(await result().locator('.status-message').textContent(), 'Transação TEF não realizada.');
    assert.equal(await result().locator('.status-reason').textContent(), reason);
    assert.equal(await page.locator('#receipts figure').count(), 0);
    await shoot('6-declined');
  });

  test('the credit payment is cancelled from the sales list', async () => {
    await page.locator(`#history tr[data-nsu="${creditNsu}"]`).getByRole('button', { name: 'Cancelar' }).click();
    const question = terminal().locator('.prompt-question');
    await question.getByText(/Confirma o cancelamento de R\$ 125,90\?/).waitFor();
    await question.getByRole('button', { name: 'Sim' }).click();
    await operationOver();

    assert.equal(await result().locator('.status').textContent(), 'Aprovada');
    assert.equal(await field('operation').textContent(), 'Cancelamento');
    assert.equal(await field('canceled_nsu').textContent(), creditNsu);
    assert.match(await receipt(1).textContent(), /CANCELAMENTO DE TRANSAÇÃO[\s\S]*VALOR CANCELADO: R\$ 125,90/);
    const row = page.locator(`#history tr[data-nsu="${creditNsu}"]`);
    assert.equal(await row.locator('td').nth(4).textContent(), 'Cancelada');
    assert.equal(await row.getByRole('button').count(), 0);
    await shoot('7-cancellation');
  });

  test('the last receipt is reprinted', async () => {
    await page.click('#reprint-last');
    await operationOver();
    assert.equal(await result().locator('.status').textContent(), 'Aprovada');
    assert.equal(await field('operation').textContent(), 'Reimpressão');
    assert.match(await receipt(1).textContent(), /VIA DO CLIENTE/);
    assert.match(await receipt(2).textContent(), /VIA DO ESTABELECIMENTO/);
    await shoot('8-reprint');
  });

  test('a payment waiting for the authoriser is cancelled with the terminal\'s button', async () => {
    // The demo library waits without end on amounts ending in ,52.
    await startSale('10,52', 'debit');
    const cancel = page.locator('#cancel-operation');
    await cancel.waitFor({ state: 'visible' });
    await cancel.click();
    const notice = terminal().locator('.prompt-confirmation');
    await notice.waitFor();
    await notice.getByRole('button', { name: 'OK' }).click();
    await operationOver();
    assert.equal(await result().locator('.status').getAttribute('data-status'), 'canceled');
    assert.equal(await cancel.isVisible(), false);
    await shoot('9-operator-cancel');
  });

  test('PIN-pad status, and a PDF from disk refused for want of a printer, then queued', async () => {
    await page.click('#pinpad-status');
    await page.locator('#pinpad-result', { hasText: 'PinPad conectado' }).waitFor();
    await page.setInputFiles('#print-file', {
      name: 'pedido.pdf',
      mimeType: 'application/pdf',
      buffer: Buffer.from('%PDF-1.4\n%%EOF\n'),
    });
    await page.click('#print');
    await page.locator('#error', { hasText: 'Impressora não definida.' }).waitFor();
    await shoot('10-print-refused');

    // The service reads its printer at every request.
    app.installPrintProgram();
    fs.appendFileSync(app.file('QuorvexSiTefService.ini'), 'printer=fila-de-teste\r\n');
    await page.click('#print');
    await page.locator('#print-result', { hasText: 'Documento na fila de impressão.' }).waitFor();
    assert.equal(await page.locator('#error').isVisible(), false);
    assert.ok(await waitUntil(() => app.log().includes('Arquivo adicionado na fila:')), app.log());
    await shoot('11-print-queued');
  });

  test('a payment whose connection drops ends with the outcome the service kept, asked again once back', async () => {
    await startSale('48,00', 'pix');
    await terminal().getByText(PIX_QUESTION).waitFor();
    // Pausing closes every connection: the payment ends without its client, and nobody
    // listens until the service continues.
    app.signal('SIGUSR1');
    await page.locator('#result', { hasText: 'consultando o resultado...' }).waitFor();
    await page.locator('#terminal-message', { hasText: 'Conexão perdida: consultando o resultado...' }).waitFor();
    await page.locator('#connection-state.pill-off').waitFor();
    await shoot('12-connection-lost');

    app.signal('SIGUSR2');
    await operationOver();
    assert.equal(await result().locator('.status-message').textContent(), 'Transação TEF não realizada.');
    assert.equal(await page.locator('#error').isVisible(), false);
    await page.locator('#connection-state.pill-on', { hasText: /Conectado · serviço \d/ }).waitFor();
    await shoot('13-outcome-recovered');
  });
});
