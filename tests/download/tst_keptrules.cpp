// The decisions about kept bytes, as tables: whether an answer continues
// the bytes kept so far, and whether it answers exactly one part of a
// file fetched over several connections. Links only the download layer.
#include "download/keptbytes.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;

Q_DECLARE_METATYPE(vidrona::download::kept::Record)
Q_DECLARE_METATYPE(vidrona::download::kept::AnswerHead)

namespace {

const QByteArray Address = "http://127.0.0.1:8080/clip.flv";

kept::Record record(const QByteArray &etag, const QByteArray &lastModified, qint64 total)
{
    kept::Record r;
    r.address = Address;
    r.etag = etag;
    r.lastModified = lastModified;
    r.total = total;
    return r;
}

kept::AnswerHead head(int status, const QByteArray &etag, const QByteArray &lastModified, const QByteArray &range,
                      qint64 length, const QByteArray &address = Address)
{
    kept::AnswerHead h;
    h.status = status;
    h.address = address;
    h.etag = etag;
    h.lastModified = lastModified;
    h.contentRange = range;
    h.contentLength = length;
    return h;
}

const QByteArray Etag = "\"v1\"";
const QByteArray Date = "Wed, 21 Oct 2015 07:28:00 GMT";

} // namespace

class TestKeptRules : public QObject
{
    Q_OBJECT
private slots:
    void continues_data();
    void continues();
    void answersPart_data();
    void answersPart();
};

void TestKeptRules::continues_data()
{
    QTest::addColumn<kept::Record>("record");
    QTest::addColumn<qint64>("kept");
    QTest::addColumn<kept::AnswerHead>("answer");
    QTest::addColumn<bool>("continues");
    QTest::addColumn<qint64>("fullLength"); // when it continues
    const kept::Record byEtag = record(Etag, {}, 1000);
    const kept::Record byDate = record({}, Date, 1000);
    QTest::newRow("same ETag, from kept on") << byEtag << qint64(400) << head(206, Etag, {}, "bytes 400-999/1000", 600)
                                             << true << qint64(1000);
    QTest::newRow("no Content-Length") << byEtag << qint64(400) << head(206, Etag, {}, "bytes 400-999/1000", -1)
                                       << true << qint64(1000);
    QTest::newRow("same Last-Modified") << byDate << qint64(1) << head(206, {}, Date, "bytes 1-999/1000", 999) << true
                                        << qint64(1000);
    QTest::newRow("record without total")
        << record(Etag, {}, -1) << qint64(10) << head(206, Etag, {}, "bytes 10-49/50", 40) << true << qint64(50);
    QTest::newRow("whole file again: 200") << byEtag << qint64(400) << head(200, Etag, {}, {}, 1000) << false
                                           << qint64(0);
    QTest::newRow("another ETag") << byEtag << qint64(400) << head(206, "\"v2\"", {}, "bytes 400-999/1000", 600)
                                  << false << qint64(0);
    QTest::newRow("no validator in the answer")
        << byEtag << qint64(400) << head(206, {}, {}, "bytes 400-999/1000", 600) << false << qint64(0);
    QTest::newRow("another Last-Modified") << byDate << qint64(400)
                                           << head(206, {}, "Thu, 22 Oct 2015 07:28:00 GMT", "bytes 400-999/1000", 600)
                                           << false << qint64(0);
    QTest::newRow("Last-Modified when the record has an ETag")
        << byEtag << qint64(400) << head(206, {}, Date, "bytes 400-999/1000", 600) << false << qint64(0);
    QTest::newRow("starts elsewhere") << byEtag << qint64(400) << head(206, Etag, {}, "bytes 300-999/1000", 700)
                                      << false << qint64(0);
    QTest::newRow("ends before the end") << byEtag << qint64(400) << head(206, Etag, {}, "bytes 400-899/1000", 500)
                                         << false << qint64(0);
    QTest::newRow("another full length") << byEtag << qint64(400) << head(206, Etag, {}, "bytes 400-1999/2000", 1600)
                                         << false << qint64(0);
    QTest::newRow("length disagrees with range")
        << byEtag << qint64(400) << head(206, Etag, {}, "bytes 400-999/1000", 599) << false << qint64(0);
    QTest::newRow("unknown full length") << byEtag << qint64(400) << head(206, Etag, {}, "bytes 400-999/*", 600)
                                         << false << qint64(0);
    QTest::newRow("no Content-Range") << byEtag << qint64(400) << head(206, Etag, {}, {}, 600) << false << qint64(0);
    QTest::newRow("another address")
        << byEtag << qint64(400) << head(206, Etag, {}, "bytes 400-999/1000", 600, "http://127.0.0.1:8080/other.flv")
        << false << qint64(0);
    QTest::newRow("negative kept") << byEtag << qint64(-1) << head(206, Etag, {}, "bytes 0-999/1000", 1000) << false
                                   << qint64(0);
}

void TestKeptRules::continues()
{
    QFETCH(kept::Record, record);
    QFETCH(qint64, kept);
    QFETCH(kept::AnswerHead, answer);
    QFETCH(bool, continues);
    QFETCH(qint64, fullLength);
    qint64 full = -7;
    QCOMPARE(kept::continues(record, kept, answer, &full), continues);
    if (continues)
        QCOMPARE(full, fullLength);
}

void TestKeptRules::answersPart_data()
{
    QTest::addColumn<kept::Record>("record");
    QTest::addColumn<qint64>("begin");
    QTest::addColumn<qint64>("end"); // one past the part's last byte
    QTest::addColumn<kept::AnswerHead>("answer");
    QTest::addColumn<bool>("answers");
    const kept::Record byEtag = record(Etag, {}, 1000);
    const kept::Record byDate = record({}, Date, 1000);
    QTest::newRow("exactly the part") << byEtag << qint64(250) << qint64(500)
                                      << head(206, Etag, {}, "bytes 250-499/1000", 250) << true;
    QTest::newRow("first part") << byEtag << qint64(0) << qint64(250) << head(206, Etag, {}, "bytes 0-249/1000", 250)
                                << true;
    QTest::newRow("last part, no length") << byDate << qint64(750) << qint64(1000)
                                          << head(206, {}, Date, "bytes 750-999/1000", -1) << true;
    QTest::newRow("the whole file: 200") << byEtag << qint64(250) << qint64(500) << head(200, Etag, {}, {}, 1000)
                                         << false;
    QTest::newRow("more than the part") << byEtag << qint64(250) << qint64(500)
                                        << head(206, Etag, {}, "bytes 250-999/1000", 750) << false;
    QTest::newRow("less than the part") << byEtag << qint64(250) << qint64(500)
                                        << head(206, Etag, {}, "bytes 250-498/1000", 249) << false;
    QTest::newRow("another start") << byEtag << qint64(250) << qint64(500)
                                   << head(206, Etag, {}, "bytes 251-499/1000", 249) << false;
    QTest::newRow("another full length") << byEtag << qint64(250) << qint64(500)
                                         << head(206, Etag, {}, "bytes 250-499/1001", 250) << false;
    QTest::newRow("length disagrees") << byEtag << qint64(250) << qint64(500)
                                      << head(206, Etag, {}, "bytes 250-499/1000", 300) << false;
    QTest::newRow("another version") << byEtag << qint64(250) << qint64(500)
                                     << head(206, "\"v2\"", {}, "bytes 250-499/1000", 250) << false;
    QTest::newRow("validator missing") << byEtag << qint64(250) << qint64(500)
                                       << head(206, {}, {}, "bytes 250-499/1000", 250) << false;
    QTest::newRow("another address") << byEtag << qint64(250) << qint64(500)
                                     << head(206, Etag, {}, "bytes 250-499/1000", 250, "http://127.0.0.1:1/x") << false;
    QTest::newRow("broken range") << byEtag << qint64(250) << qint64(500)
                                  << head(206, Etag, {}, "bytes 499-250/1000", 250) << false;
}

void TestKeptRules::answersPart()
{
    QFETCH(kept::Record, record);
    QFETCH(qint64, begin);
    QFETCH(qint64, end);
    QFETCH(kept::AnswerHead, answer);
    QFETCH(bool, answers);
    QCOMPARE(kept::answersPart(record, Span{begin, end}, answer), answers);
}

QTEST_APPLESS_MAIN(TestKeptRules)
#include "tst_keptrules.moc"
