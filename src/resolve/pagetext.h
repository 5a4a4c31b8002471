#pragma once
#include <QByteArray>
#include <QByteArrayView>

// A page's bytes as the markup readers take them: UTF-8, whatever the page
// was served in.
namespace vidrona::resolve {

// The charset named by a Content-Type value ("text/html; charset=..."),
// lower case; empty when it names none.
QByteArray charsetOf(QByteArrayView contentType);

// page as UTF-8: a byte-order mark (UTF-8, UTF-16) decides first, then the
// charset of contentType, then a <meta charset> or http-equiv near the
// start of the page. A page that names none, or a charset nobody knows,
// is taken as it is.
QByteArray pageAsUtf8(QByteArrayView page, QByteArrayView contentType);

} // namespace vidrona::resolve
