// What a test's own process writes while it watches: every console method and the two output
// streams, recorded as text and still passed on (the test runner reports through them).
import { format } from 'node:util';

const METHODS = ['log', 'info', 'warn', 'error', 'debug', 'trace', 'dir', 'table'];

// Starts watching; stop() puts everything back. `texts` holds what was written, in order.
export function watchConsole() {
  const texts = [];
  const restore = [];
  for (const name of METHODS) {
    const original = console[name];
    console[name] = (...args) => {
      texts.push(format(...args));
      return original.apply(console, args);
    };
    restore.push(() => (console[name] = original));
  }
  for (const stream of [process.stdout, process.stderr]) {
    const original = stream.write;
    stream.write = function write(chunk, ...rest) {
      texts.push(String(chunk));
      return original.call(this, chunk, ...rest);
    };
    restore.push(() => (stream.write = original));
  }
  return {
    texts,
    stop: () => restore.forEach((undo) => undo()),
  };
}
