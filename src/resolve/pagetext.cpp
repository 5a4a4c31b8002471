#include "pagetext.h"
#include <QRegularExpression>
#include <QStringDecoder>

namespace vidrona::resolve {

namespace {

// Browsers look for the declaration in the first 1024 bytes; pages put
// comments and scripts first often enough to look a little further.
constexpr qsizetype MetaPrescanBytes = 4096;

QByteArray declaredInMeta(QByteArrayView page)
{
    static const QRegularExpression meta(
        QStringLiteral("<meta[^>]*?charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString start = QString::fromLatin1(page.first(qMin(page.size(), MetaPrescanBytes)));
    const QRegularExpressionMatch m = meta.match(start);
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

QByteArray decodedAsUtf8(QByteArrayView bytes, const char *charset)
{
    QStringDecoder decoder(charset);
    if (!decoder.isValid())
        return bytes.toByteArray();
    const QString text = decoder.decode(bytes);
    return text.toUtf8();
}

} // namespace

QByteArray charsetOf(QByteArrayView contentType)
{
    static const QRegularExpression param(QStringLiteral(";\\s*charset\\s*=\\s*\"?([A-Za-z0-9_.:-]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = param.match(QString::fromLatin1(contentType));
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

QByteArray pageAsUtf8(QByteArrayView page, QByteArrayView contentType)
{
    if (page.startsWith("\xEF\xBB\xBF"))
        return page.sliced(3).toByteArray();
    if (page.startsWith("\xFF\xFE") || page.startsWith("\xFE\xFF"))
        return decodedAsUtf8(page, page.startsWith("\xFF\xFE") ? "UTF-16LE" : "UTF-16BE");
    QByteArray charset = charsetOf(contentType);
    if (charset.isEmpty())
        charset = declaredInMeta(page);
    if (charset.isEmpty() || charset == "utf-8" || charset == "utf8")
        return page.toByteArray();
    return decodedAsUtf8(page, charset.constData());
}

} // namespace vidrona::resolve
