#pragma once

// The User-Agent of every request the program sends, in one place.
namespace vidrona::net::agent {

// The old sites' pages: they answer best to the agent they were made for.
inline constexpr char OldSitePage[] = "vb wininet";
// The link service and the YouTube page: they know the program by name.
inline constexpr char Program[] = "Vidrona";
// Everything else, the files above all: many hosts serve files to browsers only.
inline constexpr char Browser[] = "Mozilla/5.0";

} // namespace vidrona::net::agent
