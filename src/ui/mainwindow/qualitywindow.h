#pragma once
#include "download/streams/qualitychoice.h"
#include <QDialog>
#include <QList>
#include <QStringList>

class QListWidget;

namespace vidrona::ui::mainwindow {

// The small window that asks which of a video's qualities to add: one
// line per quality (its size, frame rate, codecs, rate and bytes, the
// sound-only choices among them) and the subtitle languages to save with
// it. Enter takes the highlighted line, Esc adds nothing. It only shows
// what it is given, so it opens at once, and knows nothing of where the
// qualities came from: any source's list (a master's, a manifest's, a
// page's files, a site's formats) is asked the same way.
class QualityWindow : public QDialog
{
    Q_OBJECT
public:
    // name: the video's, as its row would show it. highlighted: the line
    // the settings would take. subtitleLabels: per language, how it is
    // shown ("en (automatic)"); empty: as the language itself.
    QualityWindow(const QString &name, const QList<download::streams::Quality> &qualities, const QStringList &subtitles,
                  int highlighted, QWidget *parent = nullptr, const QStringList &subtitleLabels = {});

    // After Add: the index in qualities taken; -1 when nothing was.
    int chosen() const;
    // The subtitle languages ticked, in the order given (the languages,
    // not their labels).
    QStringList subtitles() const;

    // A quality's line: what describeQuality says, with a sound's language.
    static QString lineOf(const download::streams::Quality &quality);

private:
    QListWidget *m_qualities;
    QListWidget *m_subtitles = nullptr;
};

} // namespace vidrona::ui::mainwindow
