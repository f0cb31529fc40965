// Errors of the client. Texts the service sent are kept exactly as they came: they are in
// Portuguese and meant for the operator. The client's own texts follow that language.

export class QuorvexTefError extends Error {
  constructor(message, options) {
    super(message, options);
    this.name = new.target.name;
  }
}

// The service answered a request with {"type":"error"}. `message` is its text; `texts` holds
// every error text the request drew (a print request can draw two).
export class ServiceError extends QuorvexTefError {
  constructor(texts, request) {
    super(texts[0]);
    this.texts = texts;
    this.route = request?.route;
  }
}

// The connection ended (or could not be opened) while a request was waiting. For a
// transaction this means its outcome is unknown: `outcomeUnknown` is then true, and
// `requestId` is the transaction's request id when it had one (the service can still tell
// its outcome by it).
export class ConnectionClosedError extends QuorvexTefError {
  constructor(message, { code, reason, outcomeUnknown = false, requestId, cause } = {}) {
    super(message, cause ? { cause } : undefined);
    this.code = code;
    this.reason = reason;
    this.outcomeUnknown = outcomeUnknown;
    if (requestId !== undefined) this.requestId = requestId;
  }
}

// The connection could not be opened because the browser refused it: a page from the internet
// (or the LAN) reaching the service on the machine needs the cashier's permission or a policy
// of the shop's ("Local Network Access"). `permission`: its state as the browser reports it
// ("denied", "prompt"), undefined where the browser does not expose it.
export class LocalNetworkAccessError extends ConnectionClosedError {
  constructor(message, { permission, ...details } = {}) {
    super(message, details);
    this.permission = permission;
  }
}

// The service keeps nothing under the request id of a transaction whose connection dropped:
// the request never reached it (or was refused before it ran), so nothing was charged.
export class UnknownRequestError extends QuorvexTefError {
  constructor(requestId) {
    super(`O serviço TEF não recebeu a transação ${requestId}; nada foi cobrado.`);
    this.requestId = requestId;
    this.outcomeUnknown = false;
  }
}

// The service dropped the request without an answer, as it does while another TEF operation
// (of any connection) is running.
export class RequestIgnoredError extends QuorvexTefError {}

// The request could not be sent: no connection, or a connection already closed.
export class NotConnectedError extends QuorvexTefError {
  constructor() {
    super('Não há conexão com o serviço TEF.');
  }
}
