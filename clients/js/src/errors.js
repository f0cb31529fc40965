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
// transaction this means its outcome is unknown: `outcomeUnknown` is then true.
export class ConnectionClosedError extends QuorvexTefError {
  constructor(message, { code, reason, outcomeUnknown = false, cause } = {}) {
    super(message, cause ? { cause } : undefined);
    this.code = code;
    this.reason = reason;
    this.outcomeUnknown = outcomeUnknown;
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
