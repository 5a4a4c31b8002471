// The one record of what arrived, for a file's kept bytes and for a
// stream's pieces: every field comes back as written, the records of
// earlier versions still load, and a record that is corrupt, too large or
// a link is refused. And the rules that decide whether an answer continues
// kept bytes.
#include "download/engine/record.h"
#include "download/keptbytes.h"
#include "download/streams/piecefolder.h"
#include "support/testenv.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using engine::FetchRecord;

Q_DECLARE_METATYPE(FetchRecord)
Q_DECLARE_METATYPE(kept::AnswerHead)
Q_DECLARE_METATYPE(Span)

namespace {

FetchRecord fileRecord(QList<Span> done, qint64 doneFrom = -1)
{
    FetchRecord r;
    r.address = "http://media.vidrona.test/v/clip.flv?a=1&b=%20";
    r.etag = "\"abc-123\"";
    r.total = 5 << 20;
    r.done = done;
    r.doneFrom = doneFrom;
    return r;
}

FetchRecord piecesRecord(QList<Span> done)
{
    FetchRecord r;
    r.kind = FetchRecord::Kind::Pieces;
    r.address = "http://media.vidrona.test/eight/index.m3u8";
    r.digest = "0f1e2d3c4b5a";
    r.pieces = 8;
    r.done = done;
    return r;
}

kept::AnswerHead head206(const QByteArray &range, qint64 length = -1)
{
    kept::AnswerHead h;
    h.status = 206;
    h.address = fileRecord({}).address;
    h.etag = fileRecord({}).etag;
    h.contentRange = range;
    h.contentLength = length;
    return h;
}

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void earlierFormats_data();
    void earlierFormats();
    void refused_data();
    void refused();
    void boundedText();
    void refusedFiles_data();
    void refusedFiles();
    void writtenNeverThroughALink();
    void keptBytesLoad_data();
    void keptBytesLoad();
    void continues_data();
    void continues();
    void answersPart_data();
    void answersPart();
};

void TestRecord::roundTrip_data()
{
    QTest::addColumn<FetchRecord>("record");
    QTest::newRow("file, ETag, spans") << fileRecord({{0, 1 << 20}, {2 << 20, 3 << 20}});
    FetchRecord modified = fileRecord({{0, 100}}, 4096);
    modified.etag.clear();
    modified.lastModified = "Wed, 21 Oct 2015 07:28:00 GMT";
    modified.total = -1;
    QTest::newRow("file, Last-Modified, in order from 4096, unknown length") << modified;
    QTest::newRow("file, only in order") << fileRecord({}, 0);
    QTest::newRow("file, nothing yet") << fileRecord({});
    QTest::newRow("pieces") << piecesRecord({{0, 3}, {5, 8}});
    QTest::newRow("pieces, none yet") << piecesRecord({});
    FetchRecord placed = piecesRecord({{0, 3}, {5, 6}});
    placed.places = {{0, {0, 1316}}, {1, {4000, 4100}}, {2, {1316, 4000}}}; // piece 5: a file of its own
    QTest::newRow("pieces, placed in the kept file") << placed;
    FetchRecord many = piecesRecord({{0, 14400}});
    many.pieces = 14400;
    for (int n = 0; n < 14400; ++n)
        many.places.insert(n, {qint64(n) * 2916, qint64(n + 1) * 2916});
    QTest::newRow("14,400 pieces placed: past a file's record bound") << many;
    FetchRecord chosen = piecesRecord({{0, 2}});
    chosen.quality = "720";
    QTest::newRow("pieces of a chosen quality") << chosen;
    chosen.quality = "sound";
    QTest::newRow("pieces of the sound alone") << chosen;
    chosen.subtitles = "en,de inside";
    QTest::newRow("pieces with subtitles asked") << chosen;
}

void TestRecord::roundTrip()
{
    QFETCH(FetchRecord, record);
    const QByteArray text = engine::recordText(record);
    QVERIFY(text.startsWith("vidrona record 2\n"));
    const std::optional<FetchRecord> back = engine::parseRecord(text);
    QVERIFY2(back.has_value(), text.constData());
    QCOMPARE(back->kind, record.kind);
    QCOMPARE(back->address, record.address);
    QCOMPARE(back->etag, record.etag);
    QCOMPARE(back->lastModified, record.lastModified);
    QCOMPARE(back->total, record.total);
    QCOMPARE(back->done, record.done);
    QCOMPARE(back->doneFrom, record.doneFrom);
    QCOMPARE(back->digest, record.digest);
    QCOMPARE(back->pieces, record.pieces);
    QVERIFY(back->places == record.places);
    QCOMPARE(back->quality, record.quality);
    QCOMPARE(text.contains("\nquality "), !record.quality.isEmpty()); // the best writes no line
    QCOMPARE(back->subtitles, record.subtitles);
    QCOMPARE(text.contains("\nsubtitles "), !record.subtitles.isEmpty());

    // And through the disk, the way every fetch writes and reads it.
    QTemporaryDir dir;
    const QString path = dir.filePath("record");
    QVERIFY(engine::writeRecord(path, record));
    QVERIFY(engine::readRecord(path) == record);
}

void TestRecord::earlierFormats_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<FetchRecord>("expected");
    QTest::newRow("kept bytes, spans and a tail")
        << QByteArray("vidrona kept bytes 1\naddress http://media.vidrona.test/v/clip.flv?a=1&b=%20\n"
                      "etag \"abc-123\"\ntotal 5242880\ndone 0-1048576,2097152-3145728,4194304-\n")
        << fileRecord({{0, 1 << 20}, {2 << 20, 3 << 20}}, 4 << 20);
    QTest::newRow("kept bytes of one connection, no spans at all")
        << QByteArray("vidrona kept bytes 1\naddress http://media.vidrona.test/v/clip.flv?a=1&b=%20\n"
                      "etag \"abc-123\"\ntotal 5242880\n")
        << fileRecord({}, 0);
    QTest::newRow("stream pieces, overlapping and past the count")
        << QByteArray("vidrona stream pieces 1\naddress http://media.vidrona.test/eight/index.m3u8\n"
                      "digest 0f1e2d3c4b5a\npieces 8\ndone 0-2 1-3 5-9 12-14\n")
        << piecesRecord({{0, 3}, {5, 8}});
    QTest::newRow("stream pieces, none done")
        << QByteArray("vidrona stream pieces 1\naddress http://media.vidrona.test/eight/index.m3u8\n"
                      "digest 0f1e2d3c4b5a\npieces 8\ndone\n")
        << piecesRecord({});
}

void TestRecord::earlierFormats()
{
    QFETCH(QByteArray, text);
    QFETCH(FetchRecord, expected);
    const std::optional<FetchRecord> r = engine::parseRecord(text);
    QVERIFY(r.has_value());
    QCOMPARE(r->kind, expected.kind);
    QCOMPARE(r->done, expected.done);
    QCOMPARE(r->doneFrom, expected.doneFrom);
    QVERIFY(*r == expected);
}

void TestRecord::refused_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray file = "address http://a.test/v.flv\netag \"x\"\ntotal 10\ndone 0-5\n";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("unknown first line") << "vidrona record 3\nkind file\n" + file;
    QTest::newRow("no first line") << file;
    QTest::newRow("today's format without its kind") << "vidrona record 2\n" + file;
    QTest::newRow("unknown kind") << "vidrona record 2\nkind bytes\n" + file;
    QTest::newRow("no address") << QByteArray("vidrona record 2\nkind file\netag \"x\"\ntotal 10\ndone 0-5\n");
    QTest::newRow("no validator") << QByteArray("vidrona record 2\nkind file\naddress http://a.test/v\ntotal 10\n");
    QTest::newRow("total not a number") << QByteArray("vidrona kept bytes 1\naddress http://a.test/v\netag \"x\"\ntotal ten\n");
    QTest::newRow("total below -1") << QByteArray("vidrona kept bytes 1\naddress http://a.test/v\netag \"x\"\ntotal -7\n");
    QTest::newRow("pieces without digest") << QByteArray("vidrona record 2\nkind pieces\naddress http://a.test/i.m3u8\npieces 8\n");
    QTest::newRow("pieces without count") << QByteArray("vidrona stream pieces 1\naddress http://a.test/i.m3u8\ndigest ab\n");
    QTest::newRow("binary") << QByteArray("\x00\x01\x02vidrona record 2\n", 20);
}

void TestRecord::refused()
{
    QFETCH(QByteArray, text);
    QVERIFY(!engine::parseRecord(text).has_value());
}

// Spans beyond the bound are left out: the record names fewer bytes,
// never a broken or oversized text.
void TestRecord::boundedText()
{
    QList<Span> many;
    for (qint64 i = 0; i < 20000; ++i)
        many.append({i * 1000000, i * 1000000 + 500000});
    const FetchRecord record = fileRecord(many, 20000LL * 1000000);
    const QByteArray text = engine::recordText(record);
    QVERIFY(text.size() <= engine::MaxRecordBytes);
    QVERIFY(text.size() > engine::MaxRecordBytes - 64);
    const std::optional<FetchRecord> back = engine::parseRecord(text);
    QVERIFY(back.has_value());
    QVERIFY(back->done.size() > 100 && back->done.size() < many.size());
    QCOMPARE(back->done, many.mid(0, back->done.size()));
    QCOMPARE(back->doneFrom, record.doneFrom);

    FetchRecord broken = fileRecord({{0, 10}});
    broken.etag = "\"a\"\nkind pieces";
    QVERIFY(engine::recordText(broken).isEmpty());
    QTemporaryDir dir;
    const QString path = test::writeFile(dir.path(), "record", "old");
    QVERIFY(!engine::writeRecord(path, broken));
    QCOMPARE(test::readFile(path), QByteArray("old"));
}

void TestRecord::refusedFiles_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("a link to a good record") << "link";
    QTest::newRow("larger than the bound") << "large";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("missing") << "missing";
}

void TestRecord::refusedFiles()
{
    QFETCH(QString, what);
    QTemporaryDir dir;
    const QString good = test::writeFile(dir.path(), "good", engine::recordText(fileRecord({{0, 10}})));
    QVERIFY(engine::readRecord(good).has_value());
    const QString path = dir.filePath("record");
    if (what == "link")
        QVERIFY(QFile::link(good, path));
    else if (what == "large")
        test::writeFile(dir.path(), "record", engine::recordText(fileRecord({{0, 10}})) + QByteArray(70000, '#'));
    else if (what == "folder")
        QVERIFY(QDir().mkdir(path));
    QVERIFY(!engine::readRecord(path).has_value());
}

void TestRecord::writtenNeverThroughALink()
{
    QTemporaryDir dir;
    const QString target = test::writeFile(dir.path(), "target", "someone's file");
    const QString path = dir.filePath("record");
    QVERIFY(QFile::link(target, path));
    QVERIFY(engine::writeRecord(path, piecesRecord({{0, 1}})));
    QCOMPARE(test::readFile(target), QByteArray("someone's file"));
    QVERIFY(!QFileInfo(path).isSymLink());
    QVERIFY(engine::readRecord(path) == piecesRecord({{0, 1}}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary file left
}

// A record beside kept bytes of a given length: what kept::load makes of it.
void TestRecord::keptBytesLoad_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QList<Span>>("done"); // empty: refused, both files gone
    const QByteArray head = "address http://a.test/v.flv\netag \"x\"\ntotal 100\n";
    QTest::newRow("today's, spans cut to the bytes there")
        << "vidrona record 2\nkind file\n" + head + "done 0-10,20-90\n" << 50LL << QList<Span>{{0, 10}, {20, 50}};
    QTest::newRow("earlier version, tail to the end") << "vidrona kept bytes 1\n" + head + "done 0-10,30-\n" << 60LL
                                                      << QList<Span>{{0, 10}, {30, 60}};
    QTest::newRow("earlier version of one connection") << "vidrona kept bytes 1\n" + head << 40LL
                                                      << QList<Span>{{0, 40}};
    QTest::newRow("bytes longer than the file") << "vidrona record 2\nkind file\n" + head + "done 0-10\n" << 101LL
                                                << QList<Span>{};
    QTest::newRow("a stream's record") << engine::recordText(piecesRecord({{0, 3}})) << 10LL << QList<Span>{};
    QTest::newRow("corrupt") << QByteArray("vidrona record 2\nkind file\n") << 10LL << QList<Span>{};
    QTest::newRow("nothing arrived") << "vidrona record 2\nkind file\n" + head + "done 20-30\n" << 10LL
                                     << QList<Span>{};
}

void TestRecord::keptBytesLoad()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, length);
    QFETCH(QList<Span>, done);
    QTemporaryDir dir;
    const QString finalPath = dir.filePath("v.flv");
    test::writeFile(dir.path(), "v.flv.part", QByteArray(length, 'x'));
    test::writeFile(dir.path(), "v.flv.partinfo", text);
    qint64 kept = -1;
    const std::optional<kept::Record> r = kept::load(finalPath, &kept);
    QCOMPARE(r.has_value(), !done.isEmpty());
    if (r) {
        QCOMPARE(r->done, done);
        QCOMPARE(r->doneFrom, -1);
        QCOMPARE(kept, length);
        QVERIFY(kept::save(finalPath, *r)); // and written back in today's format
        QVERIFY(test::readFile(kept::recordPath(finalPath)).startsWith("vidrona record 2\nkind file\n"));
        QCOMPARE(kept::load(finalPath, &kept)->done, done);
    } else {
        QVERIFY(!QFile::exists(kept::bytesPath(finalPath)));
        QVERIFY(!QFile::exists(kept::recordPath(finalPath)));
    }
}

void TestRecord::continues_data()
{
    QTest::addColumn<kept::AnswerHead>("head");
    QTest::addColumn<qint64>("kept");
    QTest::addColumn<bool>("continues");
    const qint64 total = 5 << 20;
    const QByteArray rest = "bytes 1000-" + QByteArray::number(total - 1) + '/' + QByteArray::number(total);
    QTest::newRow("the rest, same version") << head206(rest, total - 1000) << 1000LL << true;
    QTest::newRow("the rest, no length said") << head206(rest) << 1000LL << true;
    QTest::newRow("from another byte") << head206(rest) << 999LL << false;
    QTest::newRow("not to the end") << head206("bytes 1000-2000/" + QByteArray::number(total)) << 1000LL << false;
    QTest::newRow("another full length") << head206("bytes 1000-5999/6000") << 1000LL << false;
    QTest::newRow("length disagrees") << head206(rest, 7) << 1000LL << false;
    kept::AnswerHead other = head206(rest);
    other.etag = "\"other\"";
    QTest::newRow("another ETag") << other << 1000LL << false;
    other = head206(rest);
    other.etag.clear();
    QTest::newRow("no validator in the answer") << other << 1000LL << false;
    other = head206(rest);
    other.address = "http://elsewhere.test/v.flv";
    QTest::newRow("another address") << other << 1000LL << false;
    other = head206(rest);
    other.status = 200;
    QTest::newRow("a 200") << other << 1000LL << false;
    QTest::newRow("unknown full length") << head206("bytes 1000-5242879/*") << 1000LL << false;
}

void TestRecord::continues()
{
    QFETCH(kept::AnswerHead, head);
    QFETCH(qint64, kept);
    QFETCH(bool, continues);
    qint64 full = -1;
    QCOMPARE(kept::continues(fileRecord({{0, kept}}), kept, head, &full), continues);
    if (continues)
        QCOMPARE(full, fileRecord({}).total);
}

void TestRecord::answersPart_data()
{
    QTest::addColumn<kept::AnswerHead>("head");
    QTest::addColumn<bool>("answers");
    const QByteArray total = "/" + QByteArray::number(5 << 20);
    QTest::newRow("exactly the part") << head206("bytes 1048576-2097151" + total, 1 << 20) << true;
    QTest::newRow("no length said") << head206("bytes 1048576-2097151" + total) << true;
    QTest::newRow("one byte more") << head206("bytes 1048576-2097152" + total) << false;
    QTest::newRow("starts later") << head206("bytes 1048577-2097151" + total) << false;
    QTest::newRow("another full length") << head206("bytes 1048576-2097151/9999999") << false;
    QTest::newRow("length disagrees") << head206("bytes 1048576-2097151" + total, 100) << false;
    kept::AnswerHead other = head206("bytes 1048576-2097151" + total);
    other.etag = "W/\"abc-123\"";
    QTest::newRow("weak ETag") << other << false;
    other.status = 200;
    QTest::newRow("a 200") << other << false;
}

void TestRecord::answersPart()
{
    QFETCH(kept::AnswerHead, head);
    QFETCH(bool, answers);
    QCOMPARE(kept::answersPart(fileRecord({}), {1 << 20, 2 << 20}, head), answers);
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
