// What the toolbar list keeps of a tab's traffic: playlists by their name or
// type, video and audio files over 1 MB, and never the pieces of a playlist
// it lists. Pure functions, shared by the background and the tests.

export const MinFileBytes = 1 << 20;
export const MaxEntriesPerTab = 200;

const PlaylistTypes = [
  "application/vnd.apple.mpegurl", "application/x-mpegurl", "audio/mpegurl", "audio/x-mpegurl",
  "application/dash+xml", "video/vnd.mpeg.dash.mpd",
];
const PieceTypes = ["video/mp2t", "video/iso.segment", "audio/iso.segment"];

function headerOf(headers, name) {
  const h = (headers || []).find((x) => x.name.toLowerCase() === name);
  return h ? String(h.value || "") : "";
}

// "HLS", "DASH", "video", "audio", or "" for what is not listed.
export function kindOf(url, headers) {
  const path = new URL(url).pathname.toLowerCase();
  const type = headerOf(headers, "content-type").split(";")[0].trim().toLowerCase();
  if (path.endsWith(".m3u8") || type.includes("mpegurl")) return "HLS";
  if (path.endsWith(".mpd") || PlaylistTypes.includes(type)) return "DASH";
  if (PieceTypes.includes(type) || /\.(ts|m4s|m4f|cmfv|cmfa)$/.test(path)) return "";
  const length = Number(headerOf(headers, "content-length") || headerOf(headers, "content-range").split("/")[1] || 0);
  if (!(length > MinFileBytes)) return "";
  if (type.startsWith("video/")) return "video";
  if (type.startsWith("audio/")) return "audio";
  return "";
}

function folderOf(url) {
  const u = new URL(url);
  return u.origin + u.pathname.replace(/[^/]*$/, "");
}

function isPlaylist(kind) {
  return kind === "HLS" || kind === "DASH";
}

// The tab's list with one more answer taken in; entries: {url, kind}.
export function listWith(entries, url, kind) {
  if (!kind || !/^https?:/.test(url) || entries.some((e) => e.url === url)) return entries;
  const playlists = entries.filter((e) => isPlaylist(e.kind)).map((e) => folderOf(e.url));
  if (!isPlaylist(kind) && playlists.some((f) => url.startsWith(f))) return entries;
  let kept = entries;
  if (isPlaylist(kind)) {
    const folder = folderOf(url);
    kept = entries.filter((e) => isPlaylist(e.kind) || !e.url.startsWith(folder));
  }
  return kept.length >= MaxEntriesPerTab ? kept : [...kept, { url, kind }];
}

// What a context-menu click sends, or {refusal} for what cannot be sent.
export function clickedAddress(info) {
  const url = info.srcUrl || info.linkUrl || info.pageUrl || "";
  if (/^(blob|data):/i.test(url))
    return { refusal: "This video is made inside the page (" + url.split(":")[0] + ":); Vidrona cannot fetch it. Try the toolbar list." };
  if (!/^https?:/i.test(url)) return { refusal: "Vidrona fetches only web addresses." };
  return { url };
}
