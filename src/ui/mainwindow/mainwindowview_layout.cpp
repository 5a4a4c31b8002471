#include "mainwindowview.h"
#include "clickableimage.h"
#include "ui/named.h"
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace vidrona::ui::mainwindow {

namespace {

ClickableImage *logo(QWidget *parent, const char *name, const char *picture, const QString &site)
{
    auto *img = named<ClickableImage>(parent, name);
    img->setPixmap(QPixmap(QStringLiteral(":/art/%1").arg(QLatin1String(picture))));
    img->setCursor(Qt::PointingHandCursor);
    img->setToolTip(site);
    img->setAccessibleName(QStringLiteral("%1 home page").arg(site));
    return img;
}

} // namespace

void MainWindowView::buildControls()
{
    addVideoGroup = named<QGroupBox>(this, "addVideoGroup", QStringLiteral("Add Video to Download"));
    addressCaption = named<QLabel>(this, "addressCaption",
                                   QStringLiteral("Copy the URL of the target video and paste here"));
    addressBox = named<QLineEdit>(this, "addressBox");
    addVideoButton = named<QPushButton>(this, "addVideoButton", QStringLiteral("&Add Video"));
    addVideoButton->setToolTip(
        QStringLiteral("Add the video to the list (youtube.com videos open the YouTube Downloader)"));
    sampleLabel = named<QLabel>(this, "sampleLabel", QStringLiteral("Sample : http://www.videkta.ge/?video_id=147629"));
    lowQualityOption = named<QRadioButton>(this, "lowQualityOption", QStringLiteral("Low Quality (flv)"));
    highQualityOption = named<QRadioButton>(this, "highQualityOption", QStringLiteral("High Quality (wmv)"));
    aviQualityOption = named<QRadioButton>(this, "aviQualityOption", QStringLiteral("High Quality (avi)"));
    for (QRadioButton *opt : {lowQualityOption, highQualityOption, aviQualityOption})
        opt->setVisible(false);

    downloadList = named<QTreeView>(this, "downloadList");
    downloadList->setRootIsDecorated(false);
    downloadList->setUniformRowHeights(true);
    downloadList->setAllColumnsShowFocus(true);
    downloadList->setSelectionMode(QAbstractItemView::SingleSelection);

    startButton = named<QPushButton>(this, "startButton", QStringLiteral("Start Download"));
    cancelButton = named<QPushButton>(this, "cancelButton", QStringLiteral("Cancel"));
    removeButton = named<QPushButton>(this, "removeButton", QStringLiteral("Remove"));
    cleanButton = named<QPushButton>(this, "cleanButton", QStringLiteral("Clean"));
    filesBar = named<QProgressBar>(this, "filesBar");
    filesBar->setTextVisible(false);
    filesLabel = named<QLabel>(this, "filesLabel");
    startupTimer = new QTimer(this);
    startupTimer->setObjectName(QStringLiteral("startupTimer"));
    startupTimer->setInterval(100);
    startupTimer->setSingleShot(true);

    searchGroup = named<QGroupBox>(this, "searchGroup", QStringLiteral("Video Search"));
    searchCaption = named<QLabel>(this, "searchCaption",
                                  QStringLiteral("Enter the keywords for a search in your chosen site"));
    siteBox = named<QComboBox>(this, "siteBox");
    siteBox->setPlaceholderText(QStringLiteral("Choose Site"));
    searchBox = named<QLineEdit>(this, "searchBox");
    searchButton = named<QPushButton>(this, "searchButton", QStringLiteral("&Search"));
    searchButton->setToolTip(QStringLiteral("Click to make a search in youtube.com"));
    searchSample = named<QLabel>(this, "searchSample", QStringLiteral("Sample : Subaru Impreza"));

    playerGroup = named<QGroupBox>(this, "playerGroup", QStringLiteral("FLV Player"));
    playerCaption = named<QLabel>(
        this, "playerCaption",
        QStringLiteral("Videos downloaded are in FLV format thus a FLV Player is needed to watch videos."));
    playerCaption->setWordWrap(true);
    playerButton = named<QPushButton>(this, "playerButton", QStringLiteral("&Flv Player"));
    playerButton->setToolTip(QStringLiteral("Click to download the FLV Player"));

    bannerPicture = named<ClickableImage>(this, "bannerPicture");
    bannerPicture->setPixmap(QPixmap(QStringLiteral(":/art/banner.png")));
    youTubeLogo = logo(this, "youTubeLogo", "logo_youtube.png", QStringLiteral("YouTube"));
    googleVideoLogo = logo(this, "googleVideoLogo", "logo_googlevideo.png", QStringLiteral("Google Video"));
    breakLogo = logo(this, "breakLogo", "logo_break.png", QStringLiteral("Break"));
    videktaLogo = logo(this, "videktaLogo", "logo_videkta.png", QStringLiteral("Videkta"));
    tvaliLogo = logo(this, "tvaliLogo", "logo_tvali.png", QStringLiteral("Tvali"));
    allVideosLogo = logo(this, "allVideosLogo", "logo_allvideos.png", QStringLiteral("AllVideos"));
    helpButton = named<QPushButton>(this, "helpButton", QStringLiteral("H e l p !"));
    aboutButton = named<QPushButton>(this, "aboutButton", QStringLiteral("About"));
}

void MainWindowView::buildLayout()
{
    auto *top = new QHBoxLayout;
    top->addWidget(bannerPicture);
    top->addStretch();
    auto *logos = new QGridLayout;
    const QList<ClickableImage *> all = {youTubeLogo, googleVideoLogo, breakLogo,
                                         videktaLogo, tvaliLogo, allVideosLogo};
    for (int i = 0; i < all.size(); ++i)
        logos->addWidget(all[i], i / 3, i % 3);
    top->addLayout(logos);

    auto *add = new QGridLayout(addVideoGroup);
    add->addWidget(addressCaption, 0, 0, 1, 2);
    add->addWidget(addressBox, 1, 0);
    add->addWidget(addVideoButton, 1, 1);
    add->addWidget(sampleLabel, 2, 0, 1, 2);
    auto *options = new QHBoxLayout;
    options->addWidget(lowQualityOption);
    options->addWidget(highQualityOption);
    options->addWidget(aviQualityOption);
    options->addStretch();
    add->addLayout(options, 3, 0, 1, 2);

    auto *queue = new QHBoxLayout;
    for (QPushButton *b : {startButton, cancelButton, removeButton, cleanButton})
        queue->addWidget(b);
    queue->addSpacing(12);
    queue->addWidget(filesBar, 1);
    queue->addWidget(filesLabel);

    auto *search = new QGridLayout(searchGroup);
    search->addWidget(searchCaption, 0, 0, 1, 3);
    search->addWidget(siteBox, 1, 0);
    search->addWidget(searchBox, 1, 1);
    search->addWidget(searchButton, 1, 2);
    search->addWidget(searchSample, 2, 1);

    auto *player = new QVBoxLayout(playerGroup);
    player->addWidget(playerCaption);
    player->addWidget(playerButton, 0, Qt::AlignLeft);

    auto *help = new QVBoxLayout;
    help->addWidget(helpButton);
    help->addWidget(aboutButton);
    help->addStretch();

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(searchGroup, 3);
    bottom->addWidget(playerGroup, 2);
    bottom->addLayout(help);

    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(addVideoGroup);
    main->addWidget(downloadList, 1);
    main->addLayout(queue);
    main->addLayout(bottom);
    resize(820, 600);
}

void MainWindowView::setAccessibility()
{
    addressBox->setAccessibleName(QStringLiteral("Video page address"));
    addressCaption->setBuddy(addressBox);
    downloadList->setAccessibleName(QStringLiteral("Download list"));
    filesBar->setAccessibleName(QStringLiteral("Files downloaded"));
    searchBox->setAccessibleName(QStringLiteral("Search words"));
    siteBox->setAccessibleName(QStringLiteral("Site to search"));
    searchCaption->setBuddy(siteBox);
    bannerPicture->setAccessibleName(QStringLiteral("Vidrona banner"));
    // Tab order follows the layout, top to bottom, left to right.
    const QList<QWidget *> order = {addressBox, addVideoButton, lowQualityOption, highQualityOption,
                                    aviQualityOption, downloadList, startButton, cancelButton,
                                    removeButton, cleanButton, siteBox, searchBox,
                                    searchButton, playerButton, helpButton, aboutButton};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

} // namespace vidrona::ui::mainwindow
