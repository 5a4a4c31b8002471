// Draws the program's pictures: the twelve message box buttons, the box's
// skin, the site logos, the banner, the progress bar picture and the icon.
// Run at build time; everything here is drawn from code, so the pictures
// can be made again and changed in one place.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <cstdio>

namespace {

QString g_out;

bool save(const QImage &img, const QString &name)
{
    const QString path = QDir(g_out).filePath(name);
    if (!img.save(path)) {
        std::fprintf(stderr, "makeart: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QFont boldFont(int pixelSize)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(true);
    return f;
}

// look: 0 normal, 1 hover (yellow frame), 2 pressed (yellow frame, face in).
QImage button(const QString &word, int look)
{
    QImage img(58, 17, QImage::Format_RGB888);
    img.fill(QColor(192, 192, 192));
    QPainter p(&img);
    const QColor light(240, 240, 240), dark(96, 96, 96);
    const bool pressed = look == 2;
    const QRect face = look == 0 ? QRect(0, 0, 58, 17) : QRect(2, 2, 54, 13);
    p.fillRect(face, pressed ? QColor(176, 176, 176) : QColor(200, 200, 200));
    p.setPen(pressed ? dark : light);
    p.drawLine(face.topLeft(), face.topRight());
    p.drawLine(face.topLeft(), face.bottomLeft());
    p.setPen(pressed ? light : dark);
    p.drawLine(face.bottomLeft(), face.bottomRight());
    p.drawLine(face.topRight(), face.bottomRight());
    if (look != 0) {
        p.setPen(QColor(255, 215, 0));
        p.drawRect(0, 0, 57, 16);
        p.drawRect(1, 1, 55, 14);
    }
    p.setFont(boldFont(10));
    p.setPen(Qt::black);
    p.drawText(face.translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter, word);
    return img;
}

QImage skin()
{
    QImage img(250, 170, QImage::Format_RGB888);
    img.fill(QColor(212, 212, 212));
    QPainter p(&img);
    p.fillRect(0, 0, 250, 17, QColor(160, 160, 160));
    p.setPen(QColor(90, 90, 90));
    for (int y : {6, 10}) {
        p.drawLine(6, y, 88, y);
        p.drawLine(162, y, 243, y);
    }
    p.setFont(boldFont(11));
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 250, 17), Qt::AlignCenter, QStringLiteral("ATTENTION"));
    p.setPen(Qt::black);
    p.drawLine(0, 17, 249, 17);
    p.fillRect(6, 23, 238, 120, QColor(105, 105, 105));
    p.drawRect(6, 23, 237, 119);
    p.fillRect(0, 143, 250, 26, QColor(200, 200, 200));
    p.drawLine(0, 169, 249, 169);
    p.drawRect(0, 0, 249, 169);
    return img;
}

QImage logo(const QString &text, QColor back, QColor fore)
{
    QImage img(96, 36, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(back);
    p.setPen(QPen(back.darker(140), 1));
    p.drawRoundedRect(QRectF(1.5, 1.5, 93, 33), 8, 8);
    p.setFont(boldFont(text.size() > 9 ? 11 : 13));
    p.setPen(fore);
    p.drawText(QRect(0, 0, 96, 36), Qt::AlignCenter, text);
    return img;
}

QImage banner()
{
    QImage img(360, 48, QImage::Format_RGB888);
    QPainter p(&img);
    QLinearGradient g(0, 0, 360, 0);
    g.setColorAt(0, QColor(20, 60, 120));
    g.setColorAt(1, QColor(70, 140, 200));
    p.fillRect(img.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 200, 40));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(14, 10), QPointF(38, 24), QPointF(14, 38)}));
    p.setFont(boldFont(24));
    p.setPen(Qt::white);
    p.drawText(QRect(50, 0, 300, 48), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Vidrona"));
    p.setFont(boldFont(11));
    p.drawText(QRect(190, 0, 165, 48), Qt::AlignVCenter | Qt::AlignRight,
               QStringLiteral("video downloader"));
    return img;
}

QImage progressBar()
{
    QImage img(140, 12, QImage::Format_RGB888);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 12);
    g.setColorAt(0, QColor(140, 220, 140));
    g.setColorAt(1, QColor(30, 130, 40));
    p.fillRect(img.rect(), g);
    return img;
}

// Drawn on a 64-unit grid and scaled, so every size of the desktop's
// icon theme is drawn sharp rather than resampled from one picture.
QImage icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setBrush(QColor(30, 80, 150));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.setBrush(QColor(255, 200, 40));
    p.drawPolygon(QPolygonF({QPointF(22, 14), QPointF(46, 30), QPointF(22, 46)}));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(16, 50, 32, 5));
    return img;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: makeart OUTPUT_FOLDER\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    bool ok = true;
    const char *const kinds[] = {"OK", "CANCEL", "YES", "NO"};
    for (const char *kind : kinds) {
        const QString word = QString::fromLatin1(kind);
        ok &= save(button(word, 0), word + QStringLiteral(".bmp"));
        ok &= save(button(word, 1), word + QStringLiteral("2.bmp"));
        ok &= save(button(word, 2), word + QStringLiteral("3.bmp"));
    }
    ok &= save(skin(), QStringLiteral("skin.bmp"));
    ok &= save(logo(QStringLiteral("YouTube"), QColor(200, 30, 30), Qt::white), QStringLiteral("logo_youtube.png"));
    ok &= save(logo(QStringLiteral("Google Video"), QColor(228, 236, 250), QColor(40, 90, 200)), QStringLiteral("logo_googlevideo.png"));
    ok &= save(logo(QStringLiteral("Break"), QColor(20, 20, 20), QColor(255, 140, 0)), QStringLiteral("logo_break.png"));
    ok &= save(logo(QStringLiteral("Videkta"), QColor(0, 110, 160), Qt::white), QStringLiteral("logo_videkta.png"));
    ok &= save(logo(QStringLiteral("Tvali"), QColor(110, 40, 140), Qt::white), QStringLiteral("logo_tvali.png"));
    ok &= save(logo(QStringLiteral("AllVideos"), QColor(20, 130, 60), Qt::white), QStringLiteral("logo_allvideos.png"));
    ok &= save(banner(), QStringLiteral("banner.png"));
    ok &= save(progressBar(), QStringLiteral("progressbar.png"));
    ok &= save(icon(64), QStringLiteral("vidrona.png"));
    for (int size : {16, 22, 24, 32, 48, 128, 256})
        ok &= save(icon(size), QStringLiteral("vidrona_%1.png").arg(size));
    return ok ? 0 : 1;
}
