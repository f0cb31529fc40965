// Quorvex TEF Server client: one module for browsers and Node.
export { QuorvexTefClient } from './client.js';
export { BACK, GIVE_UP, splitOption } from './answers.js';
export { FunctionCode, newRequestId, transactionDateText } from './requests.js';
export {
  ConnectionClosedError,
  NotConnectedError,
  QuorvexTefError,
  RequestIgnoredError,
  ServiceError,
  UnknownRequestError,
} from './errors.js';
