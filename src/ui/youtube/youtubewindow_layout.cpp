#include "youtubewindow.h"
#include "elidedlabel.h"
#include "ui/named.h"
#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace vidrona::ui::youtube {

namespace {

constexpr int BarWidth = 140; // pixels of the bar picture at 100 %
constexpr int BarHeight = 12;

} // namespace

void YouTubeWindow::buildControls()
{
    addressCaption = named<QLabel>(this, "addressCaption", QStringLiteral("URL:"));
    addressBox = named<QLineEdit>(this, "addressBox");
    lowFlvOption = named<QRadioButton>(this, "lowFlvOption", QStringLiteral("Low Quality (flv)"));
    highMp4Option = named<QRadioButton>(this, "highMp4Option", QStringLiteral("High Quality (mp4)"));
    highFlvOption = named<QRadioButton>(this, "highFlvOption", QStringLiteral("High Quality (flv)"));
    auto *group = new QButtonGroup(this); // exactly one quality at a time
    for (QRadioButton *opt : {lowFlvOption, highMp4Option, highFlvOption})
        group->addButton(opt);
    downloadButton = named<QPushButton>(this, "downloadButton", QStringLiteral("download"));
    cancelButton = named<QPushButton>(this, "cancelButton", QStringLiteral("cancel"));
    closeButton = named<QPushButton>(this, "closeButton", QStringLiteral("close"));
    sizeCaption = named<QLabel>(this, "sizeCaption", QStringLiteral("Size :"));
    sizeLabel = named<QLabel>(this, "sizeLabel", QStringLiteral("Bits"));
    sizeLabel->setToolTip(QStringLiteral("Download File Size."));
    const char *const captions[] = {"Saved", "Remaining"};
    for (int i = 0; i < 2; ++i) {
        figureCaptions[i] = named<QLabel>(this, "figureCaptions", QString::fromLatin1(captions[i]));
        figureCaptions[i]->setProperty("index", i); // a pair sharing one name
    }
    savedLabel = named<QLabel>(this, "savedLabel", QStringLiteral("Bits"));
    remainingLabel = named<QLabel>(this, "remainingLabel", QStringLiteral("Bits"));
    percentLabel = named<QLabel>(this, "percentLabel", QStringLiteral("Download Progress in %"));
    percentLabel->setToolTip(QStringLiteral("Download Progress in Percentage"));
    youTubeLogo = named<QLabel>(this, "youTubeLogo");
    youTubeLogo->setPixmap(QPixmap(QStringLiteral(":/art/logo_youtube.png")));
    statusStrip = named<QStatusBar>(this, "statusStrip");
    statusStrip->setSizeGripEnabled(false);
    statusPanel = named<ElidedLabel>(statusStrip, "statusPanel"); // it shows the title
    percentPanel = named<QLabel>(statusStrip, "percentPanel");
    percentPanel->setMinimumWidth(50);
    statusStrip->addWidget(statusPanel, 1);
    statusStrip->addPermanentWidget(percentPanel);
}

void YouTubeWindow::buildLayout()
{
    auto *top = new QHBoxLayout;
    top->addWidget(addressCaption);
    top->addWidget(addressBox, 1);

    auto *options = new QHBoxLayout;
    for (QRadioButton *opt : {lowFlvOption, highMp4Option, highFlvOption})
        options->addWidget(opt);
    options->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : {downloadButton, cancelButton, closeButton})
        buttons->addWidget(b);

    // The bar grows inside a fixed track, so its width moves nothing else.
    auto *track = named<QFrame>(this, "barTrack");
    track->setFrameShape(QFrame::Box);
    track->setFixedSize(BarWidth + 2, BarHeight + 2);
    barPicture = named<QLabel>(track, "barPicture");
    barPicture->setPixmap(QPixmap(QStringLiteral(":/art/progressbar.png")));
    barPicture->setScaledContents(true);
    barPicture->setGeometry(1, 1, 0, BarHeight);

    auto *figures = new QGridLayout;
    figures->addWidget(sizeCaption, 0, 0);
    figures->addWidget(sizeLabel, 0, 1);
    figures->addWidget(figureCaptions[0], 1, 0);
    figures->addWidget(savedLabel, 1, 1);
    figures->addWidget(figureCaptions[1], 2, 0);
    figures->addWidget(remainingLabel, 2, 1);
    figures->addWidget(percentLabel, 0, 2, Qt::AlignRight);
    figures->addWidget(track, 1, 2, Qt::AlignRight);
    figures->setColumnStretch(1, 1);

    auto *body = new QVBoxLayout;
    body->addWidget(youTubeLogo, 0, Qt::AlignLeft);
    body->addLayout(top);
    body->addLayout(options);
    body->addLayout(buttons);
    body->addLayout(figures);
    body->setContentsMargins(10, 10, 10, 6);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(body, 1);
    outer->addWidget(statusStrip);
    resize(460, 280);
}

void YouTubeWindow::setBarUnits(int units)
{
    // 5600 units are the bar's full width.
    m_barUnits = units;
    barPicture->resize(units * BarWidth / 5600, BarHeight);
}

} // namespace vidrona::ui::youtube
