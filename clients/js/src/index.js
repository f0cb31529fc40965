// Quorvex TEF Server client: one module for browsers and Node.
export { QuorvexTefClient } from './client.js';
export { BACK, GIVE_UP, splitOption } from './answers.js';
export { FunctionCode, newRequestId, transactionDateText } from './requests.js';
export { LOCAL_NETWORK_BLOCKED_TEXT } from './local-network.js';
export {
  ConnectionClosedError,
  LocalNetworkAccessError,
  NotConnectedError,
  QuorvexTefError,
  RequestIgnoredError,
  ServiceError,
  UnknownRequestError,
} from './errors.js';
