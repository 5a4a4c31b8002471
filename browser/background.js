// The extension's background: it watches what each tab loads for the
// toolbar list, offers "Download with Vidrona" on links, videos and pages,
// and sends an address to Vidrona's host only when the user clicks.
import { kindOf, listWith, clickedAddress } from "./media.js";

const api = globalThis.browser ?? globalThis.chrome;
const HostName = "org.vidrona.browser";
const MenuId = "vidrona-download";

// tabId -> [{url, kind}]; kept in session storage too, since a service
// worker may be stopped between two answers.
const lists = new Map();

async function listOf(tabId) {
  if (!lists.has(tabId) && api.storage?.session) {
    const got = await api.storage.session.get(String(tabId));
    lists.set(tabId, got[String(tabId)] || []);
  }
  return lists.get(tabId) || [];
}

async function remember(tabId, entries) {
  lists.set(tabId, entries);
  await api.storage?.session?.set({ [String(tabId)]: entries });
  await api.action.setBadgeText({ tabId, text: entries.length ? String(entries.length) : "" });
}

api.webRequest.onHeadersReceived.addListener(
  (details) => {
    if (details.tabId < 0) return;
    const kind = kindOf(details.url, details.responseHeaders);
    if (!kind) return;
    listOf(details.tabId).then((entries) => {
      const next = listWith(entries, details.url, kind);
      if (next !== entries) return remember(details.tabId, next);
    });
  },
  { urls: ["http://*/*", "https://*/*"] },
  ["responseHeaders"]
);

// A new page in the tab starts a new list.
api.webRequest.onBeforeRequest.addListener(
  (details) => {
    if (details.type === "main_frame" && details.tabId >= 0) remember(details.tabId, []);
  },
  { urls: ["http://*/*", "https://*/*"], types: ["main_frame"] }
);

api.tabs?.onRemoved?.addListener((tabId) => {
  lists.delete(tabId);
  api.storage?.session?.remove(String(tabId));
});

// Everything one address carries: the page as Referer, the tab's title,
// this browser's User-Agent, and the cookies it holds for the address.
async function entryFor(url, pageUrl, title) {
  const cookies = await api.cookies.getAll({ url });
  return {
    url,
    referrer: /^https?:/.test(pageUrl || "") ? pageUrl : "",
    title: title || "",
    userAgent: navigator.userAgent,
    cookies: cookies.map((c) => ({
      domain: c.domain, hostOnly: c.hostOnly, path: c.path, secure: c.secure, httpOnly: c.httpOnly,
      expirationDate: c.expirationDate || 0, name: c.name, value: c.value,
    })),
  };
}

// Sends the addresses; the host's answer, {ok, added} or {ok: false, error}.
export async function send(urls, pageUrl, title) {
  const addresses = await Promise.all(urls.map((u) => entryFor(u, pageUrl, title)));
  try {
    return await api.runtime.sendNativeMessage(HostName, { addresses });
  } catch (e) {
    return { ok: false, error: "Vidrona's host cannot be reached (" + (e?.message || e) + "). Is Vidrona installed, and were browsers connected in its Preferences?" };
  }
}

async function tell(tabId, answer) {
  const text = answer.ok ? "Sent to Vidrona" : answer.error;
  await api.action.setTitle({ tabId, title: "Vidrona: " + text });
  if (!answer.ok) await api.action.setBadgeText({ tabId, text: "!" });
  await api.storage?.session?.set({ lastAnswer: text });
}

export async function onMenuClick(info, tab) {
  const clicked = clickedAddress(info);
  const tabId = tab?.id ?? -1;
  if (clicked.refusal) {
    await tell(tabId, { ok: false, error: clicked.refusal });
    return { ok: false, error: clicked.refusal };
  }
  const answer = await send([clicked.url], info.pageUrl || tab?.url, tab?.title);
  await tell(tabId, answer);
  return answer;
}

api.runtime.onInstalled.addListener(() => {
  api.contextMenus.create({ id: MenuId, title: "Download with Vidrona", contexts: ["link", "video", "audio", "page"] });
});
api.contextMenus.onClicked.addListener(onMenuClick);

// The popup asks for the tab's list and sends what the user clicked.
api.runtime.onMessage.addListener((message, sender, reply) => {
  if (sender.id !== api.runtime.id) return false;
  if (message.what === "list") listOf(message.tabId).then((entries) => reply({ entries }));
  else if (message.what === "send") send(message.urls, message.pageUrl, message.title).then(reply);
  else return false;
  return true;
});

globalThis.vidrona = { send, onMenuClick, listOf }; // for the DevTools protocol in tests
