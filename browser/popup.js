// The toolbar list: the media the tab loaded, each sent on a click.
const api = globalThis.browser ?? globalThis.chrome;

async function theTab() {
  const asked = new URLSearchParams(location.search).get("tab"); // a test or a screenshot names it
  if (asked) return api.tabs.get(Number(asked));
  const [tab] = await api.tabs.query({ active: true, currentWindow: true });
  return tab;
}

function show(answer) {
  const out = document.getElementById("answer");
  out.textContent = answer?.ok ? `Sent to Vidrona (${answer.added})` : answer?.error || "No answer from Vidrona.";
  out.className = answer?.ok ? "" : "refused";
}

function row(tab, entry, sendUrls) {
  const li = document.createElement("li");
  const kind = Object.assign(document.createElement("span"), { className: "kind", textContent: entry.kind });
  const title = Object.assign(document.createElement("span"), { className: "title", textContent: tab.title || tab.url });
  title.append(Object.assign(document.createElement("span"), { className: "address", textContent: entry.url }));
  const button = Object.assign(document.createElement("button"), { className: "send", textContent: "Download" });
  button.addEventListener("click", () => sendUrls([entry.url]));
  li.append(kind, title, button);
  return li;
}

async function main() {
  const tab = await theTab();
  const { entries } = await api.runtime.sendMessage({ what: "list", tabId: tab.id });
  const sendUrls = async (urls) =>
    show(await api.runtime.sendMessage({ what: "send", urls, pageUrl: tab.url, title: tab.title }));
  const list = document.getElementById("entries");
  for (const entry of entries) list.append(row(tab, entry, sendUrls));
  document.getElementById("empty").hidden = entries.length > 0;
  const all = document.getElementById("all");
  all.hidden = entries.length < 2;
  all.addEventListener("click", () => sendUrls(entries.map((e) => e.url)));
  document.body.dataset.ready = "1";
}

main();
