#include "frmyoutube.h"
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

namespace vidrona {

namespace {

constexpr int BarWidth = 140; // pixels of the bar picture at 100 %
constexpr int BarHeight = 12;

} // namespace

void FrmYouTube::buildControls()
{
    Label2 = named<QLabel>(this, "Label2", QStringLiteral("URL:"));
    Text1 = named<QLineEdit>(this, "Text1");
    Option1 = named<QRadioButton>(this, "Option1", QStringLiteral("Low Quality (flv)"));
    Option2 = named<QRadioButton>(this, "Option2", QStringLiteral("High Quality (mp4)"));
    Option3 = named<QRadioButton>(this, "Option3", QStringLiteral("High Quality (flv)"));
    auto *group = new QButtonGroup(this); // exactly one quality at a time
    for (QRadioButton *opt : {Option1, Option2, Option3})
        group->addButton(opt);
    cmdDownload = named<QPushButton>(this, "cmdDownload", QStringLiteral("download"));
    cmdCancel = named<QPushButton>(this, "cmdCancel", QStringLiteral("cancel"));
    cmdQuite = named<QPushButton>(this, "cmdQuite", QStringLiteral("close"));
    HedLab = named<QLabel>(this, "HedLab", QStringLiteral("Size :"));
    lblSize = named<QLabel>(this, "lblSize", QStringLiteral("Bits"));
    lblSize->setToolTip(QStringLiteral("Download File Size."));
    const char *const captions[] = {"Saved", "Remaining"};
    for (int i = 0; i < 2; ++i) {
        Label3[i] = named<QLabel>(this, "Label3", QString::fromLatin1(captions[i]));
        Label3[i]->setProperty("index", i); // a pair sharing one name
    }
    lblSaved = named<QLabel>(this, "lblSaved", QStringLiteral("Bits"));
    lblLeft = named<QLabel>(this, "lblLeft", QStringLiteral("Bits"));
    lblPercentage = named<QLabel>(this, "lblPercentage", QStringLiteral("Download Progress in %"));
    lblPercentage->setToolTip(QStringLiteral("Download Progress in Percentage"));
    ImgYouTube = named<QLabel>(this, "ImgYouTube");
    ImgYouTube->setPixmap(QPixmap(QStringLiteral(":/art/logo_youtube.png")));
    sbrStatus = named<QStatusBar>(this, "sbrStatus");
    sbrStatus->setSizeGripEnabled(false);
    sbrPanel1 = named<ElidedLabel>(sbrStatus, "sbrPanel1"); // it shows the title
    sbrPanel2 = named<QLabel>(sbrStatus, "sbrPanel2");
    sbrPanel2->setMinimumWidth(50);
    sbrStatus->addWidget(sbrPanel1, 1);
    sbrStatus->addPermanentWidget(sbrPanel2);
}

void FrmYouTube::buildLayout()
{
    auto *top = new QHBoxLayout;
    top->addWidget(Label2);
    top->addWidget(Text1, 1);

    auto *options = new QHBoxLayout;
    for (QRadioButton *opt : {Option1, Option2, Option3})
        options->addWidget(opt);
    options->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : {cmdDownload, cmdCancel, cmdQuite})
        buttons->addWidget(b);

    // The bar grows inside a fixed track, so its width moves nothing else.
    auto *track = named<QFrame>(this, "Image1Track");
    track->setFrameShape(QFrame::Box);
    track->setFixedSize(BarWidth + 2, BarHeight + 2);
    Image1 = named<QLabel>(track, "Image1");
    Image1->setPixmap(QPixmap(QStringLiteral(":/art/progressbar.png")));
    Image1->setScaledContents(true);
    Image1->setGeometry(1, 1, 0, BarHeight);

    auto *figures = new QGridLayout;
    figures->addWidget(HedLab, 0, 0);
    figures->addWidget(lblSize, 0, 1);
    figures->addWidget(Label3[0], 1, 0);
    figures->addWidget(lblSaved, 1, 1);
    figures->addWidget(Label3[1], 2, 0);
    figures->addWidget(lblLeft, 2, 1);
    figures->addWidget(lblPercentage, 0, 2, Qt::AlignRight);
    figures->addWidget(track, 1, 2, Qt::AlignRight);
    figures->setColumnStretch(1, 1);

    auto *body = new QVBoxLayout;
    body->addWidget(ImgYouTube, 0, Qt::AlignLeft);
    body->addLayout(top);
    body->addLayout(options);
    body->addLayout(buttons);
    body->addLayout(figures);
    body->setContentsMargins(10, 10, 10, 6);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(body, 1);
    outer->addWidget(sbrStatus);
    resize(460, 280);
}

void FrmYouTube::setImage1Units(int units)
{
    // 5600 units are the bar's full width.
    m_image1Units = units;
    Image1->resize(units * BarWidth / 5600, BarHeight);
}

} // namespace vidrona
