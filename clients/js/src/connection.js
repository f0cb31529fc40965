// One WebSocket to the service: opens it, sends requests as JSON text and hands every
// message it receives, parsed, to the client.
import { ConnectionClosedError, LocalNetworkAccessError } from './errors.js';
import {
  LOCAL_NETWORK_BLOCKED_TEXT,
  inBrowserPage,
  localNetworkPermission,
  localNetworkRefusal,
} from './local-network.js';

const decoder = new TextDecoder();

// A WebSocket from the options: a factory (url) => socket, a constructor, or the global one
// of a browser.
function createSocket(url, options) {
  if (options.createWebSocket) return options.createWebSocket(url);
  const WebSocketClass = options.WebSocket ?? globalThis.WebSocket;
  if (!WebSocketClass) {
    throw new TypeError('No WebSocket here: pass the WebSocket option (in Node, the ws package).');
  }
  return new WebSocketClass(url);
}

// Messages come as text; binary ones (gzip is only ever sent to the service) are read as
// UTF-8 all the same. The service writes ASCII JSON with \uXXXX escapes, so only a JSON
// parser reads it right.
function messageText(data) {
  if (typeof data === 'string') return data;
  return decoder.decode(data instanceof ArrayBuffer ? new Uint8Array(data) : data);
}

export class Connection {
  #socket;
  #listener;

  // listener: { message(object, text), unparsable(text), close({code, reason}) }
  constructor(socket, listener) {
    this.#socket = socket;
    this.#listener = listener;
    socket.addEventListener('message', (event) => this.#receive(event.data));
    // A failure is followed by the close event, which is what the client acts on.
    socket.addEventListener('error', () => {});
    socket.addEventListener('close', (event) =>
      this.#listener.close({ code: event.code, reason: event.reason }),
    );
  }

  // Resolves once the socket is open; rejects with ConnectionClosedError when it closes (or
  // fails) before that, LocalNetworkAccessError when the browser refused it.
  static async open(url, options, listener) {
    if (!inBrowserPage()) return Connection.#attempt(url, options, listener);
    const before = await localNetworkPermission(url);
    try {
      return await Connection.#attempt(url, options, listener);
    } catch (error) {
      // A cashier who allows the page only after the service gave up waiting for the
      // connection's upgrade request: the permission stands now, and one more attempt goes
      // through without asking.
      if (before !== 'prompt' || (await localNetworkPermission(url)) !== 'granted') throw error;
      return Connection.#attempt(url, options, listener);
    }
  }

  static #attempt(url, options, listener) {
    return new Promise((resolve, reject) => {
      const socket = createSocket(url, options);
      socket.binaryType = 'arraybuffer';
      // Browsers tell nothing about why (a certificate not trusted, nobody listening, their
      // Local Network Access check); Node's ws does, in its error event.
      let cause;
      const noted = (event) => (cause = event.error ?? cause);
      socket.addEventListener('error', noted);
      const failed = (event) => {
        const details = { code: event.code, reason: event.reason, cause };
        const closed = () => new ConnectionClosedError(`Não foi possível conectar ao serviço TEF em ${url}.`, details);
        if (!inBrowserPage()) {
          reject(closed());
          return;
        }
        localNetworkRefusal(url)
          .catch(() => null)
          .then((refusal) =>
            reject(refusal ? new LocalNetworkAccessError(LOCAL_NETWORK_BLOCKED_TEXT, { ...details, ...refusal }) : closed()),
          );
      };
      socket.addEventListener('close', failed, { once: true });
      socket.addEventListener(
        'open',
        () => {
          socket.removeEventListener('close', failed);
          socket.removeEventListener('error', noted);
          resolve(new Connection(socket, listener));
        },
        { once: true },
      );
    });
  }

  get open() {
    return this.#socket.readyState === 1;
  }

  send(message) {
    this.#socket.send(JSON.stringify(message));
  }

  close(code = 1000, reason = '') {
    this.#socket.close(code, reason);
  }

  #receive(data) {
    const text = messageText(data);
    let message;
    try {
      message = JSON.parse(text);
    } catch {
      this.#listener.unparsable(text);
      return;
    }
    if (message === null || typeof message !== 'object' || Array.isArray(message)) {
      this.#listener.unparsable(text);
    } else {
      this.#listener.message(message);
    }
  }
}
