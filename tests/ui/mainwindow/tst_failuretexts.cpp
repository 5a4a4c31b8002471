// The sentence the window writes for each failure the engine reports: a
// cause with its facts in, the exact words out, what was being fetched
// and which piece named after them.
#include "ui/mainwindow/failuretexts.h"
#include "ui/mainwindow/refusaltexts.h"
#include "ui/mainwindow/steptexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::ui::mainwindow;
using net::Cause;
using net::Failure;
using net::Reason;

Q_DECLARE_METATYPE(vidrona::resolve::Refusal)

namespace {
Failure of(Reason reason, Cause cause, const QString &detail = QString())
{
    return net::fail(reason, cause, detail);
}

Failure answered(int status, const QString &phrase)
{
    Failure f = of(Reason::HttpError, Cause::HttpStatus, phrase);
    f.status = status;
    return f;
}

Failure sized(Reason reason, Cause cause, qint64 bytes, qint64 ofBytes)
{
    return Failure::sized(reason, cause, bytes, ofBytes);
}

Failure about(Failure f, net::Subject subject)
{
    f.subject = subject;
    return f;
}

Failure inPiece(Failure f, int piece, int pieces, int stallMs = 0)
{
    f.piece = piece;
    f.pieces = pieces;
    if (stallMs)
        f.ms = stallMs;
    return f;
}

Failure counted(Failure f, int count)
{
    f.count = count;
    return f;
}

Failure bounded(Failure f, qint64 bytes)
{
    f.bytes = bytes;
    return f;
}
} // namespace

class TestFailureTexts : public QObject
{
    Q_OBJECT
private slots:
    void sentence_data();
    void sentence();
    void streamSentence_data();
    void streamSentence();
    void stepSentence_data();
    void stepSentence();
    void everyCauseHasWords();
    void refusalSentence_data();
    void refusalSentence();
    void playlistQuestion_data();
    void playlistQuestion();
};

// One row per cause, then the names of what was fetched and of pieces.
void TestFailureTexts::sentence_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("text");
    using C = Cause;
    using R = Reason;
    const QString written = "The file could not be written: ";
    QTest::newRow("cancelled") << net::cancelled() << "Cancelled.";
    QTest::newRow("no transfer") << of(R::Other, C::CannotStart) << "Cannot start a transfer.";
    QTest::newRow("not a web address") << of(R::NotWebAddress, C::NotWebAddress) << "Not a web address.";
    QTest::newRow("not http") << of(R::NotWebAddress, C::NotHttpAddress) << "not an http address";
    QTest::newRow("private address")
        << of(R::AddressRefused, C::AddressRefused, "10.0.0.1")
        << "The address 10.0.0.1 is in a private network or on this computer, and was refused.";
    QTest::newRow("redirect refused") << of(R::RedirectRefused, C::RedirectRefused, "http://169.254.169.254")
                                      << "A redirect to http://169.254.169.254 was refused.";
    QTest::newRow("redirect loop") << counted(of(R::TooManyRedirects, C::TooManyRedirects), 10)
                                   << "The address redirects more than 10 times.";
    QTest::newRow("bad head") << of(R::HeadTooLarge, C::BadHead)
                              << "The server's answer has no valid header, or one larger than 64 KB or of more than 100 lines.";
    QTest::newRow("libcurl's words") << of(R::CannotConnect, C::ConnectFailed, "Could not resolve host: x.invalid")
                                     << "Could not resolve host: x.invalid";
    QTest::newRow("broke off") << of(R::BrokeOff, C::BrokeOff) << "The connection broke off before the answer was complete.";
    QTest::newRow("garbled") << of(R::BrokenAnswer, C::Garbled, "Unrecognized content encoding type")
                             << "The server's answer is broken: Unrecognized content encoding type";
    QTest::newRow("no answer") << of(R::BrokenAnswer, C::NoAnswer) << "No answer came.";
    QTest::newRow("404") << answered(404, "Not Found") << "The server answered 404 Not Found";
    QTest::newRow("status without phrase") << answered(503, "") << "The server answered 503";
    QTest::newRow("stalled") << net::stalled(30000) << "No data came for 30 seconds";
    QTest::newRow("stalled 2.5 s") << net::stalled(2500) << "No data came for 2.5 seconds";
    QTest::newRow("timed out") << net::timedOut(C::TimedOut, 90000) << "The answer did not arrive within 90 seconds.";
    QTest::newRow("page too large") << bounded(of(R::TooLarge, C::PageTooLarge), 8 << 20) << "The page is larger than 8 MB.";
    QTest::newRow("page bound in bytes") << bounded(of(R::TooLarge, C::PageTooLarge), 1000) << "The page is larger than 1000 bytes.";
    QTest::newRow("page broke off") << of(R::BrokeOff, C::PageBrokeOff) << "The connection broke off before the page was complete.";
    QTest::newRow("page timed out") << net::timedOut(C::PageTimedOut, 3000) << "The page did not arrive within 3 seconds.";
    QTest::newRow("no space") << sized(R::NoSpace, C::NoSpace, 1'234'000'000, 300'400'000)
                              << "Not enough free space: needs 1.2 GB, 300 MB free";
    QTest::newRow("disk full") << of(R::DiskFull, C::DiskFull) << "No space left on the disk";
    QTest::newRow("name too long") << of(R::WriteFailed, C::NameTooLong) << "The name is too long for this disk";
    QTest::newRow("system's words") << of(R::WriteFailed, C::WriteFault, "Permission denied") << written + "Permission denied";
    QTest::newRow("not a plain file") << of(R::WriteFailed, C::NotPlainFile) << written + "not a plain file";
    QTest::newRow("not open") << of(R::WriteFailed, C::NotOpen) << written + "the file is not open";
    QTest::newRow("not on disk") << of(R::WriteFailed, C::NotWritten) << written + "the file could not be written to disk";
    QTest::newRow("a part not written") << of(R::WriteFailed, C::PartNotWritten) << written + "a part could not be written";
    QTest::newRow("no name to put it at") << of(R::WriteFailed, C::WriteNoFreeName) << written + "no free name for the file";
    QTest::newRow("no free name") << of(R::WriteFailed, C::NoFreeName) << "no free name for the file";
    QTest::newRow("name refused") << of(R::WriteFailed, C::NameRefused) << "The name cannot be a file name in the download folder";
    QTest::newRow("joined name") << of(R::WriteFailed, C::JoinedNameTaken) << "The joined file could not take its name";
    QTest::newRow("fragment folder") << of(R::WriteFailed, C::FragmentFolder) << "The folder for the fragments could not be made";
    QTest::newRow("web page") << of(R::NotTheVideo, C::WebPage) << "The server sent a web page instead of the video";
    QTest::newRow("more than announced") << of(R::AnswersDoNotAddUp, C::MoreThanAnnounced)
                                         << "The server sent more bytes than it announced";
    QTest::newRow("body short") << sized(R::BrokeOff, C::BodyShort, 100, 200) << "body of 100 bytes, 200 announced";
    QTest::newRow("answers disagree") << of(R::AnswersDoNotAddUp, C::AnswersDisagree) << "the answers do not add up";
    QTest::newRow("another part") << of(R::AnswersDoNotAddUp, C::OtherPart) << "The server sent another part than asked";
    QTest::newRow("part ended early") << of(R::BrokeOff, C::PartEndedEarly) << "A part of the file ended early";
    QTest::newRow("parts missing") << of(R::BrokeOff, C::PartsMissing) << "Not every part of the file arrived";
    QTest::newRow("playlist too large") << of(R::TooLarge, C::PlaylistTooLarge) << "The playlist is larger than 8 MB.";
    QTest::newRow("piece ended early") << sized(R::BrokeOff, C::PieceEndedEarly, 3221225471, 3221225472)
                                       << "The piece ended after 3221225471 of 3221225472 bytes";
    QTest::newRow("piece too large") << of(R::TooLarge, C::PieceTooLarge) << "A piece of this video is larger than 1 GB";
    QTest::newRow("unsized piece too large") << of(R::TooLarge, C::UnsizedPieceTooLarge)
                                             << "A piece of this video without a stated length is larger than 32 MB";
    QTest::newRow("piece part missing") << of(R::BrokeOff, C::PiecePartMissing) << "A part of the piece did not arrive";
    QTest::newRow("pieces missing") << of(R::BrokenAnswer, C::PiecesMissing) << "Not every piece arrived";
    QTest::newRow("piece key") << of(R::BrokenAnswer, C::PieceKeyBroken) << "The key of a piece is not 16 bytes";
    QTest::newRow("video key") << of(R::BrokenAnswer, C::VideoKeyBroken) << "The key of the video is not 16 bytes";
    QTest::newRow("undecryptable") << of(R::BrokenAnswer, C::PieceUndecryptable) << "The piece cannot be decrypted with its key";
    QTest::newRow("parts unjoinable") << of(R::NotTheVideo, C::PartsUnjoinable)
                                      << "The parts of this video are encoded differently, so they cannot be joined into one file.";
    QTest::newRow("pieces unjoinable") << of(R::Other, C::PiecesUnjoinable, "Invalid data found when processing input")
                                       << "The pieces cannot be joined into one video (Invalid data found when processing "
                                          "input); the next try fetches them again.";
    QTest::newRow("subtitles too large") << of(R::TooLarge, C::SubtitlesTooLarge) << "The subtitles are larger than allowed";
    QTest::newRow("subtitles unreadable") << of(R::BrokenAnswer, C::SubtitlesUnreadable) << "the subtitles' playlist cannot be read";
    QTest::newRow("subtitles format") << of(R::NotTheVideo, C::SubtitlesFormat, "TTML")
                                      << "The subtitles are TTML, which Vidrona does not read";
    QTest::newRow("no subtitles") << of(R::NotTheVideo, C::SubtitlesNone) << "The video offers none";
    QTest::newRow("page not read again") << of(R::NotTheVideo, C::PageNotReadAgain) << "The page could not be read again";
    QTest::newRow("needs yt-dlp") << of(R::NotTheVideo, C::NeedsYtDlp) << "yt-dlp is needed to read this page";
    QTest::newRow("no format") << of(R::NotTheVideo, C::NoFormatChosen) << "No format was chosen for this video";
    QTest::newRow("the system's words") << of(R::WriteFailed, C::SystemSaid, "Permission denied") << "Permission denied";
    QTest::newRow("piece folder") << of(R::WriteFailed, C::PieceFolderNotMade, "/v/.Talk.mp4.pieces")
                                  << "The folder for the pieces cannot be made: /v/.Talk.mp4.pieces";
    QTest::newRow("not WebVTT") << of(R::BrokenAnswer, C::SubtitlesNotWebVtt) << "the subtitles are not WebVTT";

    // What the small fetch was for, after the sentence; in it when too large.
    QTest::newRow("for the playlist") << about(answered(404, "Not Found"), net::Subject::Playlist)
                                      << "The server answered 404 Not Found for the playlist";
    QTest::newRow("stall for the key") << about(net::stalled(10000), net::Subject::Key) << "No data came for 10 seconds for the key";
    QTest::newRow("subtitles too large to fetch") << about(of(R::TooLarge, C::TooLargeToFetch), net::Subject::Subtitles)
                                                  << "The subtitles is larger than allowed"; // the words as always shown
    QTest::newRow("key too large") << about(of(R::TooLarge, C::TooLargeToFetch), net::Subject::Key)
                                   << "The key is larger than allowed";
    QTest::newRow("a cancel names nothing") << about(net::cancelled(), net::Subject::Playlist) << "Cancelled.";

    // Which piece: a stall and a status say "for", the others in brackets.
    QTest::newRow("piece's status") << inPiece(answered(403, "Forbidden"), 2, 20)
                                    << "The server answered 403 Forbidden for piece 3 of 20";
    QTest::newRow("piece's stall") << inPiece(net::stalled(5000), 0, 4, 60000) << "No data came for 60 seconds for piece 1 of 4";
    QTest::newRow("piece refused") << inPiece(of(R::AddressRefused, C::AddressRefused, "127.0.0.1"), 0, 1)
                                   << "The address 127.0.0.1 is in a private network or on this computer, and was refused. "
                                      "(piece 1 of 1)";
    QTest::newRow("piece's key") << inPiece(of(R::BrokenAnswer, C::PieceKeyBroken), 6, 7)
                                 << "The key of a piece is not 16 bytes (piece 7 of 7)";
    QTest::newRow("a cancelled piece") << inPiece(net::cancelled(), 1, 2) << "Cancelled.";
}

void TestFailureTexts::sentence()
{
    QFETCH(Failure, failure);
    QFETCH(QString, text);
    QCOMPARE(failureText(failure), text);
}

// The refusals of a playlist, a manifest, a site's formats and yt-dlp's
// runs, the same words whether a fetch or a check before it met them.
void TestFailureTexts::streamSentence_data()
{
    using C = Cause;
    using R = Reason;
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("text");
    QTest::newRow("live") << of(R::NotTheVideo, C::StreamLive) << "This is a live stream: it has no end to save.";
    QTest::newRow("key method") << of(R::NotTheVideo, C::StreamProtected, "SAMPLE-AES-CTR")
                                << "This video is protected (SAMPLE-AES-CTR) and cannot be saved.";
    QTest::newRow("drm") << of(R::NotTheVideo, C::StreamDrm) << "This video is protected (DRM) and cannot be saved.";
    QTest::newRow("no piece") << of(R::NotTheVideo, C::PlaylistNoPieces) << "The playlist names no piece of video.";
    QTest::newRow("piece too large") << of(R::TooLarge, C::PlaylistPieceTooLarge) << "A piece of this video is larger than 1 GB.";
    QTest::newRow("playlist too large") << of(R::TooLarge, C::PlaylistTooLarge) << "The playlist is larger than 8 MB.";
    QTest::newRow("not hls") << of(R::NotTheVideo, C::NotHlsPlaylist) << "This is not an HLS playlist.";
    QTest::newRow("pieces") << counted(of(R::TooLarge, C::TooManyPieces), 50000) << "The video has more than 50000 pieces.";
    QTest::newRow("no video") << of(R::NotTheVideo, C::PlaylistNoVideo) << "The playlist names no video.";
    QTest::newRow("nested") << of(R::NotTheVideo, C::NestedVariants) << "The playlist names another list of variants.";
    QTest::newRow("variant names playlists") << of(R::NotTheVideo, C::VariantNamesPlaylists)
                                             << "The playlist of this video names further playlists instead of its pieces.";
    QTest::newRow("variant unreadable") << of(R::NotTheVideo, C::VariantUnreadable) << "The playlist of this video cannot be read.";
    QTest::newRow("not dash") << of(R::NotTheVideo, C::NotDashManifest) << "This is not a DASH manifest.";
    QTest::newRow("parts") << counted(of(R::TooLarge, C::TooManyParts), 256) << "The video has more than 256 parts.";
    QTest::newRow("xml") << of(R::NotTheVideo, C::ManifestUnreadable, "Premature end of document.")
                         << "The manifest cannot be read: Premature end of document.";
    QTest::newRow("uncounted") << of(R::NotTheVideo, C::ManifestUncounted) << "The manifest does not say how many pieces there are.";
    QTest::newRow("manifest no video") << of(R::NotTheVideo, C::ManifestNoVideo) << "The manifest names no video.";
    QTest::newRow("manifest too large") << of(R::TooLarge, C::ManifestTooLarge) << "The manifest is larger than 8 MB.";
    QTest::newRow("periods") << of(R::NotTheVideo, C::PeriodsDiffer)
                             << "The parts of this video do not all have the same streams, so they cannot be joined into one file.";
    QTest::newRow("yt-dlp said") << of(R::NotTheVideo, C::YtDlpSaid, "This video is private") << "yt-dlp: This video is private";
    QTest::newRow("yt-dlp silent") << of(R::NotTheVideo, C::YtDlpSilent) << "yt-dlp: it gave no answer";
    QTest::newRow("yt-dlp missing") << of(R::NotTheVideo, C::YtDlpNotFound) << "yt-dlp was not found.";
    QTest::newRow("yt-dlp not started") << of(R::NotTheVideo, C::YtDlpNotStarted) << "yt-dlp could not be started.";
    QTest::newRow("yt-dlp a minute") << of(R::NotTheVideo, C::YtDlpNoAnswerInMinute) << "yt-dlp gave no answer within a minute.";
    QTest::newRow("yt-dlp in time") << of(R::NotTheVideo, C::YtDlpNoAnswerInTime) << "yt-dlp gave no answer in time.";
    QTest::newRow("yt-dlp too long") << of(R::NotTheVideo, C::YtDlpAnswerTooLong) << "yt-dlp's answer was too long.";
    QTest::newRow("yt-dlp unreadable") << of(R::NotTheVideo, C::YtDlpAnswerUnreadable) << "yt-dlp's answer could not be read.";
    QTest::newRow("no format found") << of(R::NotTheVideo, C::NoVideoFormat) << "No video format was found at this address.";
    QTest::newRow("site drm") << of(R::NotTheVideo, C::SiteDrm)
                              << "This video is protected (DRM): only the site's own player may play it.";
    QTest::newRow("protocol") << of(R::NotTheVideo, C::UnreadProtocol, "f4m")
                              << "This video is offered only over f4m, which Vidrona does not fetch.";
}

void TestFailureTexts::streamSentence()
{
    QFETCH(Failure, failure);
    QFETCH(QString, text);
    QCOMPARE(failureText(failure), text);
}

// A step of a join, a sound's extraction or an MP3 encoding: alone, after
// a write's words, or in brackets in the unjoinable pieces' sentence.
void TestFailureTexts::stepSentence_data()
{
    using S = net::Step;
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("text");
    const auto alone = [](S::Kind kind, const QString &words = QString()) {
        return net::failedStep(Reason::Other, Cause::StepFailed, net::step(kind, words));
    };
    const auto piece = [](S::Kind kind, const QString &words = QString()) {
        net::Step s = net::step(kind, words);
        s.path = "/v/.T.pieces/3.piece";
        return net::failedStep(Reason::Other, Cause::PiecesUnjoinable, s);
    };
    net::Step encodings = net::step(S::TooManyEncodings);
    encodings.count = 9;
    const QString again = "; the next try fetches them again.";
    QTest::newRow("memory") << alone(S::OutOfMemory) << "Out of memory.";
    QTest::newRow("cancelled") << alone(S::Cancelled) << "Cancelled.";
    QTest::newRow("piece unreadable") << piece(S::PieceUnreadable, "Invalid data found when processing input")
                                      << "The pieces cannot be joined into one video (A piece cannot be read: Invalid data "
                                         "found when processing input)" + again;
    QTest::newRow("piece file") << piece(S::PieceFile, "Permission denied")
                                << "The pieces cannot be joined into one video (/v/.T.pieces/3.piece: Permission denied)" + again;
    QTest::newRow("piece not plain") << piece(S::PieceNotPlain)
                                     << "The pieces cannot be joined into one video (/v/.T.pieces/3.piece: not a plain file)" + again;
    QTest::newRow("cut short") << piece(S::PieceCutShort)
                               << "The pieces cannot be joined into one video (/v/.T.pieces/3.piece: a piece is cut short)" + again;
    QTest::newRow("system words") << piece(S::SystemWords, "Input/output error")
                                  << "The pieces cannot be joined into one video (Input/output error)" + again;
    QTest::newRow("encoded differently") << alone(S::PartEncodedDifferently)
                                         << "a part of the video is encoded differently from the part before it";
    QTest::newRow("lacks a stream") << alone(S::PartLacksStream) << "a part of the video lacks a stream the part before it has";
    QTest::newRow("file unwritable") << net::failedStep(Reason::WriteFailed, Cause::WriteFault,
                                                        net::step(S::FileUnwritable, "No space left on device"))
                                     << "The file could not be written: The file cannot be written: No space left on device";
    QTest::newRow("subtitles unwritable") << alone(S::SubtitlesUnwritable, "Invalid argument")
                                          << "The subtitles cannot be written: Invalid argument";
    QTest::newRow("no streams") << alone(S::NoStreams) << "The pieces hold neither video nor sound.";
    QTest::newRow("unfinished") << alone(S::FileUnfinished, "I/O error") << "The file cannot be finished: I/O error";
    QTest::newRow("encodings") << net::failedStep(Reason::Other, Cause::PiecesUnjoinable, encodings)
                               << "The pieces cannot be joined into one video (the video changes its encoding more than 9 "
                                  "times)" + again;
    QTest::newRow("format") << alone(S::FormatUnreadable, "End of file") << "A format cannot be read: End of file";
    QTest::newRow("joined") << alone(S::JoinedUnwritable, "End of file") << "The joined file cannot be written: End of file";
    QTest::newRow("subtitles here") << alone(S::SubtitlesNotHere) << "The subtitles cannot go into this file.";
    QTest::newRow("no sound") << alone(S::NoSound) << "The video holds no sound.";
    QTest::newRow("sound unwritable") << alone(S::SoundUnwritable, "X") << "The sound cannot be written: X";
    QTest::newRow("video unreadable") << alone(S::VideoUnreadable, "X") << "The video cannot be read: X";
    QTest::newRow("sound unfinished") << alone(S::SoundUnfinished, "X") << "The sound cannot be finished: X";
    QTest::newRow("sound unreadable") << alone(S::SoundUnreadable, "X") << "The sound cannot be read: X";
    QTest::newRow("no decodable sound") << alone(S::NoDecodableSound) << "The video holds no sound that can be decoded.";
    QTest::newRow("undecodable") << alone(S::SoundUndecodable, "X") << "The sound cannot be decoded: X";
    QTest::newRow("no lame") << alone(S::NoMp3Encoder) << "This system's libavcodec has no MP3 encoder (LAME).";
    QTest::newRow("encoder start") << alone(S::Mp3EncoderUnstarted, "X") << "The MP3 encoder cannot start: X";
    QTest::newRow("unfit") << alone(S::SoundUnfitForMp3) << "The sound cannot be converted for the MP3 encoder.";
    QTest::newRow("mp3 unwritable") << alone(S::Mp3Unwritable, "X") << "The MP3 cannot be written: X";
    QTest::newRow("mp3 unencodable") << alone(S::Mp3Unencodable, "X") << "The MP3 cannot be encoded: X";
    QTest::newRow("mp3 unfinished") << alone(S::Mp3Unfinished, "X") << "The MP3 cannot be finished: X";
    QTest::newRow("unconvertible, no code") << alone(S::SoundUnconvertible) << "The sound cannot be converted";
}

void TestFailureTexts::stepSentence()
{
    QFETCH(Failure, failure);
    QFETCH(QString, text);
    QCOMPARE(failureText(failure), text);
}

// A cause added without words would reach the user as an empty cell.
void TestFailureTexts::everyCauseHasWords()
{
    for (int c = int(Cause::Cancelled); c <= int(Cause::UnreadProtocol); ++c) {
        const Cause cause = Cause(c);
        if (cause == Cause::SystemSaid || cause == Cause::ConnectFailed || cause == Cause::StepFailed)
            continue; // told in words that come with it
        Failure f = of(Reason::Other, cause);
        f.subject = net::Subject::Key; // the one cause that takes its subject into the sentence needs one
        QVERIFY2(!failureText(f).trimmed().isEmpty(), qPrintable(QString::number(c)));
    }
}

void TestFailureTexts::refusalSentence_data()
{
    using resolve::Refusal;
    QTest::addColumn<Refusal>("refusal");
    QTest::addColumn<QString>("text");
    const auto with = [](Refusal::Kind kind, const Failure &failure = Failure()) { return resolve::refusalOf(kind, failure); };
    const auto note = [](Refusal::Kind kind, Refusal::Note n, int status = 0) {
        Refusal r = resolve::refusalOf(kind);
        r.note = n;
        r.status = status;
        r.seconds = 30;
        return r;
    };
    const auto advised = [](Refusal r, bool checkLink, bool askYtDlp) {
        r.checkLink = checkLink;
        r.askYtDlp = askYtDlp;
        return r;
    };
    const QString check = "\r\nPlease, check the link and try again!";
    const QString ask = "\r\nWith yt-dlp installed, Vidrona could ask it about this page.";
    const QString named = "The page names a video, but it could not be fetched: ";
    QTest::newRow("check the link") << with(Refusal::CheckLink) << "Please, check the link and try again!";
    QTest::newRow("empty playlist") << with(Refusal::PlaylistEmpty) << "This playlist has no videos.";
    QTest::newRow("page not fetched") << advised(with(Refusal::PageNotFetched, of(Reason::BrokeOff, Cause::PageBrokeOff)), true, false)
                                      << "The page of this video could not be fetched.\r\n"
                                         "The connection broke off before the page was complete." + check;
    QTest::newRow("page not fetched, no failure") << advised(with(Refusal::PageNotFetched), true, false)
                                                  << "The page of this video could not be fetched." + check;
    QTest::newRow("site, no video") << advised(with(Refusal::NoVideoAtAddress), true, false)
                                    << "No video was found at this address." + check;
    QTest::newRow("no video, yt-dlp") << advised(with(Refusal::NoVideoAtAddress), false, true)
                                      << "No video was found at this address." + ask;
    QTest::newRow("none on the page") << with(Refusal::NoVideoOnPage) << "No video was found on this page.";
    QTest::newRow("own player") << with(Refusal::OwnPlayerOnly)
                                << "This video is only played by the page's own player: Vidrona cannot save it.";
    QTest::newRow("a stream's refusal") << with(Refusal::Failed, of(Reason::NotTheVideo, Cause::StreamLive))
                                        << "This is a live stream: it has no end to save.";
    QTest::newRow("no answer in time") << note(Refusal::Failed, Refusal::NoAnswerWithin) << "No answer came within 30 seconds.";
    QTest::newRow("login") << note(Refusal::Failed, Refusal::NeedsLogin, 403) << "This page needs a login (the server answered 403).";
    QTest::newRow("server error") << note(Refusal::Failed, Refusal::ServerError, 502)
                                  << "The server had an error (the server answered 502).";
    QTest::newRow("nothing there") << note(Refusal::Failed, Refusal::NothingThere, 404)
                                   << "Nothing was found there (the server answered 404).";
    QTest::newRow("named, a page") << note(Refusal::NamedUnfetched, Refusal::AddressIsPage)
                                   << named + "the address it names is a web page, not a video file.";
    QTest::newRow("named, a stall") << advised(with(Refusal::NamedUnfetched, net::stalled(3000)), false, true)
                                    << named + "No data came for 3 seconds" + ask;
    QTest::newRow("named, none a file") << with(Refusal::NamedUnfetched)
                                        << named + "none of the addresses it names is a video file.";
}

void TestFailureTexts::refusalSentence()
{
    QFETCH(resolve::Refusal, refusal);
    QFETCH(QString, text);
    QCOMPARE(refusalText(refusal), text);
}

void TestFailureTexts::playlistQuestion_data()
{
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("videos");
    QTest::addColumn<int>("added");
    QTest::addColumn<QString>("text");
    QTest::newRow("not asked") << false << 0 << 0 << QString();
    QTest::newRow("all of them") << true << 12 << 12 << "This playlist has 12 videos. Add them all?";
    QTest::newRow("past the bound") << true << 1200 << 1000
                                    << "This playlist has 1200 videos. Add them all?\r\nAt most 1000 are added; 200 more are left out.";
}

void TestFailureTexts::playlistQuestion()
{
    QFETCH(bool, asked);
    QFETCH(int, videos);
    QFETCH(int, added);
    QFETCH(QString, text);
    QCOMPARE(questionText({asked, videos, added}), text);
}

QTEST_GUILESS_MAIN(TestFailureTexts)
#include "tst_failuretexts.moc"
