#include "frmmain.h"
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

namespace vidrona {

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

void FrmMain::buildControls()
{
    Frame2 = named<QGroupBox>(this, "Frame2", QStringLiteral("Add Video to Download"));
    Label3 = named<QLabel>(this, "Label3", QStringLiteral("Copy the URL of the target video and paste here"));
    txtUrl = named<QLineEdit>(this, "txtUrl");
    cmdAddVideo = named<QPushButton>(this, "cmdAddVideo", QStringLiteral("&Add Video"));
    cmdAddVideo->setToolTip(QStringLiteral("Add the video to the list (youtube.com videos open the YouTube Downloader)"));
    Label4 = named<QLabel>(this, "Label4", QStringLiteral("Sample : http://www.videkta.ge/?video_id=147629"));
    OptLow = named<QRadioButton>(this, "OptLow", QStringLiteral("Low Quality (flv)"));
    OptHigh = named<QRadioButton>(this, "OptHigh", QStringLiteral("High Quality (wmv)"));
    OptAvi = named<QRadioButton>(this, "OptAvi", QStringLiteral("High Quality (avi)"));
    for (QRadioButton *opt : {OptLow, OptHigh, OptAvi})
        opt->setVisible(false);

    lDownload = named<QTreeView>(this, "lDownload");
    lDownload->setRootIsDecorated(false);
    lDownload->setUniformRowHeights(true);
    lDownload->setAllColumnsShowFocus(true);
    lDownload->setSelectionMode(QAbstractItemView::SingleSelection);

    cmdDownload = named<QPushButton>(this, "cmdDownload", QStringLiteral("Start Download"));
    cmdCancel = named<QPushButton>(this, "cmdCancel", QStringLiteral("Cancel"));
    cmdRemove = named<QPushButton>(this, "cmdRemove", QStringLiteral("Remove"));
    cmdClean = named<QPushButton>(this, "cmdClean", QStringLiteral("Clean"));
    P1 = named<QProgressBar>(this, "P1");
    P1->setTextVisible(false);
    lblProgress = named<QLabel>(this, "lblProgress");
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);

    Frame1 = named<QGroupBox>(this, "Frame1", QStringLiteral("Video Search"));
    Label1 = named<QLabel>(this, "Label1", QStringLiteral("Enter the keywords for a search in your chosen site"));
    Combo1 = named<QComboBox>(this, "Combo1");
    Combo1->setPlaceholderText(QStringLiteral("Choose Site"));
    Text1 = named<QLineEdit>(this, "Text1");
    cmdSearch = named<QPushButton>(this, "cmdSearch", QStringLiteral("&Search"));
    cmdSearch->setToolTip(QStringLiteral("Click to make a search in youtube.com"));
    Label2 = named<QLabel>(this, "Label2", QStringLiteral("Sample : Subaru Impreza"));

    Frame3 = named<QGroupBox>(this, "Frame3", QStringLiteral("FLV Player"));
    Label6 = named<QLabel>(this, "Label6", QStringLiteral("Videos downloaded are in FLV format thus a FLV Player is needed to watch videos."));
    Label6->setWordWrap(true);
    CmdDownloadflash = named<QPushButton>(this, "CmdDownloadflash", QStringLiteral("&Flv Player"));
    CmdDownloadflash->setToolTip(QStringLiteral("Click to download the FLV Player"));

    Image1 = named<ClickableImage>(this, "Image1");
    Image1->setPixmap(QPixmap(QStringLiteral(":/art/banner.png")));
    Image2 = logo(this, "Image2", "logo_youtube.png", QStringLiteral("YouTube"));
    Image3 = logo(this, "Image3", "logo_googlevideo.png", QStringLiteral("Google Video"));
    Image4 = logo(this, "Image4", "logo_break.png", QStringLiteral("Break"));
    Image5 = logo(this, "Image5", "logo_videkta.png", QStringLiteral("Videkta"));
    Image6 = logo(this, "Image6", "logo_tvali.png", QStringLiteral("Tvali"));
    Image7 = logo(this, "Image7", "logo_allvideos.png", QStringLiteral("AllVideos"));
    cmdContacts = named<QPushButton>(this, "cmdContacts", QStringLiteral("H e l p !"));
    Command2 = named<QPushButton>(this, "Command2", QStringLiteral("About"));
}

void FrmMain::buildLayout()
{
    auto *top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addStretch();
    auto *logos = new QGridLayout;
    const QList<ClickableImage *> all = {Image2, Image3, Image4, Image5, Image6, Image7};
    for (int i = 0; i < all.size(); ++i)
        logos->addWidget(all[i], i / 3, i % 3);
    top->addLayout(logos);

    auto *add = new QGridLayout(Frame2);
    add->addWidget(Label3, 0, 0, 1, 2);
    add->addWidget(txtUrl, 1, 0);
    add->addWidget(cmdAddVideo, 1, 1);
    add->addWidget(Label4, 2, 0, 1, 2);
    auto *options = new QHBoxLayout;
    options->addWidget(OptLow);
    options->addWidget(OptHigh);
    options->addWidget(OptAvi);
    options->addStretch();
    add->addLayout(options, 3, 0, 1, 2);

    auto *queue = new QHBoxLayout;
    for (QPushButton *b : {cmdDownload, cmdCancel, cmdRemove, cmdClean})
        queue->addWidget(b);
    queue->addSpacing(12);
    queue->addWidget(P1, 1);
    queue->addWidget(lblProgress);

    auto *search = new QGridLayout(Frame1);
    search->addWidget(Label1, 0, 0, 1, 3);
    search->addWidget(Combo1, 1, 0);
    search->addWidget(Text1, 1, 1);
    search->addWidget(cmdSearch, 1, 2);
    search->addWidget(Label2, 2, 1);

    auto *player = new QVBoxLayout(Frame3);
    player->addWidget(Label6);
    player->addWidget(CmdDownloadflash, 0, Qt::AlignLeft);

    auto *help = new QVBoxLayout;
    help->addWidget(cmdContacts);
    help->addWidget(Command2);
    help->addStretch();

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Frame1, 3);
    bottom->addWidget(Frame3, 2);
    bottom->addLayout(help);

    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(Frame2);
    main->addWidget(lDownload, 1);
    main->addLayout(queue);
    main->addLayout(bottom);
    resize(820, 600);
}

void FrmMain::setAccessibility()
{
    txtUrl->setAccessibleName(QStringLiteral("Video page address"));
    Label3->setBuddy(txtUrl);
    lDownload->setAccessibleName(QStringLiteral("Download list"));
    P1->setAccessibleName(QStringLiteral("Files downloaded"));
    Text1->setAccessibleName(QStringLiteral("Search words"));
    Combo1->setAccessibleName(QStringLiteral("Site to search"));
    Label1->setBuddy(Combo1);
    Image1->setAccessibleName(QStringLiteral("Vidrona banner"));
    // Tab order follows the layout, top to bottom, left to right.
    const QList<QWidget *> order = {txtUrl, cmdAddVideo, OptLow, OptHigh, OptAvi, lDownload,
                                    cmdDownload, cmdCancel, cmdRemove, cmdClean, Combo1, Text1,
                                    cmdSearch, CmdDownloadflash, cmdContacts, Command2};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

} // namespace vidrona
