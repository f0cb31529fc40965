// PIX QR codes drawn as images by the vendored QR library, its text encoded as UTF-8.
import qrcode from '../vendor/qrcode-generator/qrcode.mjs';
import { stringToBytes } from '../vendor/qrcode-generator/qrcode_UTF8.mjs';

qrcode.stringToBytes = stringToBytes;

export function qrImageUrl(text) {
  const code = qrcode(0, 'M');
  code.addData(text, 'Byte');
  code.make();
  return code.createDataURL(6, 4);
}
