// Local Network Access: Chromium-based browsers let a page reach an address more private than
// its own (a page from the internet, the service on localhost or on the LAN) only once the
// cashier allowed it or a policy of the shop's exempts the page. A refused connection looks
// like any other to the page; only the permission, where the browser exposes it, tells them
// apart.

export const LOCAL_NETWORK_BLOCKED_TEXT =
  'O navegador bloqueou o acesso ao serviço TEF local; permita o acesso à rede local para este site.';

// Address spaces from the most private. A host name that is not one of these forms may
// resolve anywhere: it counts as public.
const LOOPBACK = 2;
const LOCAL = 1;
const PUBLIC = 0;

function ipv4(host) {
  const parts = host.split('.');
  if (parts.length !== 4 || !parts.every((part) => /^\d{1,3}$/.test(part) && Number(part) <= 255)) return null;
  return parts.map(Number);
}

function ipv4Space([a, b]) {
  if (a === 127) return LOOPBACK;
  if (a === 10 || (a === 172 && b >= 16 && b <= 31) || (a === 192 && b === 168) || (a === 169 && b === 254)) {
    return LOCAL;
  }
  return PUBLIC;
}

function ipv6Space(address) {
  if (address === '::1') return LOOPBACK;
  if (/^f[cd]/.test(address) || /^fe[89ab]/.test(address)) return LOCAL;
  return PUBLIC;
}

// The address space a URL's host names: localhost and 127.x loopback; private IPv4 ranges,
// unique-local and link-local IPv6, .local names and names of one label (the LAN's) local.
export function addressSpace(hostname) {
  const host = hostname.toLowerCase().replace(/\.$/, '');
  if (host === 'localhost' || host.endsWith('.localhost')) return LOOPBACK;
  if (host.startsWith('[')) return ipv6Space(host.slice(1, -1));
  const v4 = ipv4(host);
  if (v4) return ipv4Space(v4);
  if (host.endsWith('.local') || !host.includes('.')) return LOCAL;
  return PUBLIC;
}

// The permission names that cover requests into `space`, the most specific first: Chromium
// 146 split "local-network-access" into one per address space.
function permissionNames(space) {
  if (space === LOOPBACK) return ['loopback-network', 'local-network-access'];
  if (space === LOCAL) return ['local-network', 'local-network-access'];
  return ['local-network-access'];
}

// The permission's state ("granted", "denied", "prompt") for connections into `space`, or
// undefined where the browser has no such permission (it does not check, or does not say).
async function permissionState(permissions, space) {
  for (const name of permissionNames(space)) {
    try {
      return (await permissions.query({ name })).state;
    } catch {
      // A name this browser does not know.
    }
  }
  return undefined;
}

// Whether a connection to `serviceUrl` that failed before it opened was the browser's Local
// Network Access check, given the page's URL and the permission's state (undefined: not
// exposed). Denied: it was. Granted: it was not. Not decided yet (a prompt dismissed, or one
// nobody can answer) or not exposed: it was when the page is less private than the service,
// for a Chromium-based browser where the state is unknown.
export function blockedByLocalNetworkAccess({ pageUrl, serviceUrl, permission, chromium }) {
  if (permission === 'denied') return true;
  if (permission === 'granted') return false;
  const service = addressSpace(new URL(serviceUrl).hostname);
  const page = addressSpace(new URL(pageUrl).hostname);
  if (service === PUBLIC || page >= service) return false;
  return permission === 'prompt' || chromium;
}

// Code running in a browser, where the check applies; never in Node.
export function inBrowserPage() {
  return /^https?:$/.test(globalThis.location?.protocol ?? '') && Boolean(globalThis.navigator?.permissions);
}

// In a browser page: the state of the permission that covers connections to `serviceUrl`
// ("granted", "denied", "prompt"), undefined where the browser does not expose one.
export function localNetworkPermission(serviceUrl) {
  return permissionState(globalThis.navigator.permissions, addressSpace(new URL(serviceUrl).hostname)).catch(
    () => undefined,
  );
}

// In a browser page: null when the failed connection to `serviceUrl` was not refused by Local
// Network Access, else {permission} (its state, undefined where the browser does not expose
// it).
export async function localNetworkRefusal(serviceUrl) {
  const page = globalThis.location;
  const permission = await localNetworkPermission(serviceUrl);
  const chromium = Boolean(globalThis.navigator.userAgentData?.brands?.some((b) => b.brand === 'Chromium'));
  const blocked = blockedByLocalNetworkAccess({ pageUrl: page.href, serviceUrl, permission, chromium });
  return blocked ? { permission } : null;
}
