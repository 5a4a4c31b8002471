#pragma once
#include <QString>
#include <optional>

// The text work of the site resolvers: page address, page or answer text and
// the chosen quality in, the video file's address out. No result means the
// input holds no usable link.
namespace vidrona::resolve {

enum class Quality { None, Low, High, Avi };

// Read the site's page (or compute from its address).
std::optional<QString> Videkta(const QString &videoUrl);
std::optional<QString> TvaliXmlUrl(const QString &page);
std::optional<QString> TvaliFile(const QString &xml);
std::optional<QString> AllVideos(const QString &page);

// Through the link service.
QString EncodeServiceUrl(const QString &pageUrl);
QString ServiceRequest(const QString &pageUrl); // no scheme in front, fetched over http
std::optional<QString> Metacafe(const QString &answer);
std::optional<QString> Break(const QString &answer, Quality quality);
std::optional<QString> DailyMotion(const QString &answer);
std::optional<QString> Google(const QString &answer, Quality quality);

// A file address worth handing on: it holds a "/" and no control character
// (a CR or LF would split the list file's lines).
bool isUsableFileUrl(const QString &fileUrl);

} // namespace vidrona::resolve
