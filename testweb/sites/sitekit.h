#pragma once
#include "../server.h"
#include <QByteArray>
#include <QList>

// Small pieces shared by the simulated sites.
namespace testweb::kit {

struct Entry {
    QByteArray title;
    QByteArray address;
};

QByteArray escapeHtml(const QByteArray &text);
// The value of key in a query (as sent, not decoded); empty when absent.
QByteArray queryValue(const QByteArray &query, const QByteArray &key);
// A plain page with a title and a body.
Response page(const QByteArray &title, const QByteArray &body, int status = 200);
// A page listing links, for home and search pages.
Response listPage(const QByteArray &title, const QList<Entry> &entries);
// The bytes of a simulated video file; the name makes each file different.
QByteArray videoBytes(const QByteArray &name);
Response video(const QByteArray &name);
Response missingVideo();

} // namespace testweb::kit
