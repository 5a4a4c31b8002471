#pragma once
// A main window over a temporary program folder, with the simulated web as
// its proxy, a recorder in place of message boxes and of the browser: what
// the tests of "Add Video" share.
#include "support/browsercapture.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "ui/mainwindow/addvideopanel.h"
#include <QObject>
#include <QTemporaryDir>
#include <memory>

namespace vidrona::test {

using ui::mainwindow::AddVideoPanel;
using ui::mainwindow::MainWindowView;

class AddVideoTest : public QObject
{
protected:
    void setUp();
    void tearDown();
    // Types address into the address box and picks the quality option.
    void paste(const QString &address, const QString &quality);
    // Start Download for the first row: COMPLETED, with the site's file.
    void downloadFirstRow(const QString &fileUrl, const QString &fileName);
    int requestsTo(const QByteArray &host, const QByteArray &path) const;
    AddVideoPanel &addVideo() { return test::panel<AddVideoPanel>(*m_w); }

    BrowserCapture m_browser;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LocalWeb> m_web;
    std::unique_ptr<RecordingMessages> m_messages;
    std::unique_ptr<MainWindowView> m_w;
};

} // namespace vidrona::test
