#include "directfile.h"
#include "download/filenames.h"
#include "download/streams/streamaddress.h"
#include <QStringDecoder>

namespace vidrona::resolve::direct {

using download::fileNameFrom;

namespace {

bool isOneOf(const QString &value, std::initializer_list<const char *> list)
{
    for (const char *item : list)
        if (value == QLatin1String(item))
            return true;
    return false;
}

bool isOneOf(const QByteArray &value, std::initializer_list<const char *> list)
{
    for (const char *item : list)
        if (value == item)
            return true;
    return false;
}

// The fetch's own rule, so that a row made for a stream is fetched as one.
bool isStreamedType(const QByteArray &type)
{
    return download::streams::isStreamType(type);
}

bool isMediaType(const QByteArray &type)
{
    return type.startsWith("video/") || type.startsWith("audio/");
}

bool isPageType(const QByteArray &type)
{
    return type == "text/html" || type == "application/xhtml+xml";
}

// Types servers use for "save this" whatever it is.
bool isDownloadType(const QByteArray &type)
{
    return isOneOf(type, {"application/octet-stream", "binary/octet-stream",
                          "application/force-download", "application/x-download"});
}

// Text as UTF-8 where it is valid UTF-8, else one character per byte.
QString decodeName(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// The value of one parameter at pos (quoted or not); pos ends after it.
QByteArray readParameterValue(const QByteArray &header, qsizetype &pos)
{
    QByteArray value;
    if (pos < header.size() && header[pos] == '"') {
        for (++pos; pos < header.size() && header[pos] != '"'; ++pos) {
            if (header[pos] == '\\' && pos + 1 < header.size())
                ++pos;
            value += header[pos];
        }
        const qsizetype semicolon = header.indexOf(';', pos);
        pos = semicolon < 0 ? header.size() : semicolon;
        return value;
    }
    const qsizetype semicolon = header.indexOf(';', pos);
    const qsizetype end = semicolon < 0 ? header.size() : semicolon;
    value = header.mid(pos, end - pos).trimmed();
    pos = end;
    return value;
}

// filename*=charset'language'percent-encoded
QString extendedValue(const QByteArray &value)
{
    const qsizetype first = value.indexOf('\'');
    const qsizetype second = first < 0 ? -1 : value.indexOf('\'', first + 1);
    if (second < 0)
        return {};
    const QByteArray charset = value.left(first).toLower();
    const QByteArray bytes = QByteArray::fromPercentEncoding(value.mid(second + 1));
    if (charset == "utf-8")
        return QString::fromUtf8(bytes);
    if (charset == "iso-8859-1")
        return QString::fromLatin1(bytes);
    return {};
}

QString withoutFolder(const QString &name)
{
    const qsizetype slash = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return name.mid(slash + 1);
}

} // namespace

QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

bool isMediaExtension(const QString &extension)
{
    return isOneOf(extension, {"mp4", "m4v", "webm", "mkv", "mov", "flv", "avi", "wmv", "ogv", "mp3",
                               "m4a", "ogg", "opus"});
}

bool isStreamedExtension(const QString &extension)
{
    return extension == QLatin1String("m3u8") || extension == QLatin1String("mpd");
}

QString pathExtension(const QUrl &address)
{
    const QString path = address.path(QUrl::FullyEncoded);
    return extensionOf(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

bool isStreamedAddress(const QUrl &address)
{
    const QString scheme = address.scheme().toLower();
    if (isOneOf(scheme, {"blob", "data", "rtmp", "rtmps", "rtmpe", "rtsp", "mms"}))
        return true;
    return isStreamedExtension(pathExtension(address));
}

QByteArray mediaType(const QByteArray &contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return (semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
}

QString extensionOfType(const QByteArray &type)
{
    static const struct { const char *type; const char *extension; } known[] = {
        {"video/mp4", "mp4"},        {"video/x-m4v", "m4v"},       {"video/webm", "webm"},
        {"video/x-matroska", "mkv"}, {"video/quicktime", "mov"},   {"video/x-flv", "flv"},
        {"video/x-msvideo", "avi"},  {"video/avi", "avi"},         {"video/x-ms-wmv", "wmv"},
        {"video/ogg", "ogv"},        {"audio/mpeg", "mp3"},        {"audio/mp3", "mp3"},
        {"audio/mp4", "m4a"},        {"audio/x-m4a", "m4a"},       {"audio/ogg", "ogg"},
        {"audio/opus", "opus"},      {"audio/webm", "webm"},       {"video/mp2t", "ts"},
        {"video/3gpp", "3gp"},       {"audio/aac", "aac"},         {"audio/flac", "flac"},
        {"audio/wav", "wav"},        {"audio/x-wav", "wav"},
    };
    for (const auto &k : known)
        if (type == k.type)
            return QString::fromLatin1(k.extension);
    return {};
}

QString dispositionName(const QByteArray &contentDisposition)
{
    QString plain;
    QString extended;
    qsizetype pos = contentDisposition.indexOf(';');
    while (pos >= 0 && pos < contentDisposition.size()) {
        ++pos; // ";"
        const qsizetype equals = contentDisposition.indexOf('=', pos);
        if (equals < 0)
            break;
        const QByteArray name = contentDisposition.mid(pos, equals - pos).trimmed().toLower();
        pos = equals + 1;
        while (pos < contentDisposition.size() && contentDisposition[pos] == ' ')
            ++pos;
        const QByteArray value = readParameterValue(contentDisposition, pos);
        if (name == "filename*" && extended.isEmpty())
            extended = extendedValue(value);
        else if (name == "filename" && plain.isEmpty())
            plain = decodeName(value);
    }
    return withoutFolder(extended.isEmpty() ? plain : extended);
}

HeadKind classify(const QUrl &address, const Head &head, bool videoExpected)
{
    const QByteArray type = mediaType(head.contentType);
    if (isStreamedType(type))
        return HeadKind::Streamed;
    if (isMediaType(type))
        return HeadKind::MediaFile;
    if (isPageType(type))
        return HeadKind::Page;
    if (isMediaExtension(extensionOf(dispositionName(head.contentDisposition))))
        return HeadKind::MediaFile;
    const QString extension = pathExtension(address);
    if (isStreamedExtension(extension))
        return HeadKind::Streamed;
    if (isMediaExtension(extension) || (videoExpected && (type.isEmpty() || isDownloadType(type))))
        return HeadKind::MediaFile;
    return HeadKind::Other;
}

QString fileNameFor(const QUrl &address, const Head &head)
{
    QString name = dispositionName(head.contentDisposition);
    if (name.isEmpty()) {
        const QString path = address.path(QUrl::FullyEncoded);
        const QString segment = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        name = QUrl::fromPercentEncoding(segment.toLatin1()); // UTF-8, as browsers read it
    }
    const QString extension = isMediaExtension(extensionOf(name)) ? QString()
                                                                  : extensionOfType(mediaType(head.contentType));
    return fileNameFrom(name, extension);
}

} // namespace vidrona::resolve::direct
