// The client's WebSockets (of the ws package, trusting the demo CA) behind a network a test
// can break the way real ones break: the connection cut as a chosen message passes (that
// message lost), or dropped on the client's side only while the service still holds it open
// (a half-open connection).
import fs from 'node:fs';
import { WebSocket } from 'ws';

function withProperties(type, properties) {
  return Object.assign(new Event(type), properties);
}

class FaultySocket extends EventTarget {
  #socket;
  #network;
  #broken = false;
  #closeTold = false;

  constructor(url, ca, network) {
    super();
    this.#network = network;
    this.#socket = new WebSocket(url, { ca });
    this.#socket.addEventListener('open', () => this.#broken || this.dispatchEvent(new Event('open')));
    this.#socket.addEventListener(
      'error',
      ({ error }) => this.#broken || this.dispatchEvent(withProperties('error', { error })),
    );
    this.#socket.addEventListener('close', ({ code, reason }) => this.#tellClose(code, reason));
    this.#socket.addEventListener('message', ({ data }) => this.#received(data));
  }

  get readyState() {
    return this.#broken ? WebSocket.CLOSED : this.#socket.readyState;
  }

  set binaryType(type) {
    this.#socket.binaryType = type;
  }

  send(text) {
    if (this.#network.takeFault('send', JSON.parse(text))) this.#cut();
    else this.#socket.send(text);
  }

  close(code, reason) {
    this.#socket.close(code, reason);
  }

  // The client sees the connection drop; the returned socket still reaches the service.
  detach() {
    this.#broken = true;
    this.#tellClose(1006, '');
    return this.#socket;
  }

  #received(data) {
    if (this.#broken) return;
    if (this.#network.takeFault('receive', JSON.parse(String(data)))) this.#cut();
    else this.dispatchEvent(withProperties('message', { data }));
  }

  #cut() {
    this.#broken = true;
    this.#socket.terminate();
  }

  // Once: after a detach the real socket's close is not the client's.
  #tellClose(code, reason) {
    if (this.#closeTold) return;
    this.#closeTold = true;
    this.dispatchEvent(withProperties('close', { code, reason }));
  }
}

export class FaultyNetwork {
  #ca;
  #faults = [];
  current = null;

  constructor(caFile) {
    this.#ca = fs.readFileSync(caFile);
  }

  // For the client's createWebSocket option.
  open(url) {
    this.current = new FaultySocket(url, this.#ca, this);
    return this.current;
  }

  // The next message sent ('send') or received ('receive') for which `matches` holds is lost
  // and the connection cut.
  cutAt(direction, matches) {
    this.#faults.push({ direction, matches });
  }

  takeFault(direction, message) {
    const index = this.#faults.findIndex((fault) => fault.direction === direction && fault.matches(message));
    if (index < 0) return false;
    this.#faults.splice(index, 1);
    return true;
  }
}
