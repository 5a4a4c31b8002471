#include "boxtexts.h"

namespace vidrona::ui::messagebox {

namespace {
const QString crlf = QStringLiteral("\r\n");
}

QString contactAddress()
{
    return QStringLiteral("help@vidrona.example");
}

QString helpText()
{
    QString text = QStringLiteral("With Vidrona you can easily download videos from the following websites:  ");
    text += QStringLiteral("Videkta, Tvali, AllVideos, YouTube, Google Video, Break, DailyMotion, MetaCafe. ");
    text += QStringLiteral("Copy the target video URL and paste in URL box and press add video ");
    text += QStringLiteral("After that your chosen video will be added in the list of downloadable files. "
                           "To begin download press start download button.  ");
    text += crlf + crlf;
    text += QStringLiteral("If you have any questions, advises or suggestions please, write to my e-mail address: ");
    text += contactAddress() + QLatin1Char(' ');
    return text;
}

QString aboutText()
{
    // The credits are made-up people.
    QString text = QStringLiteral("Thanks for using Vidrona");
    text += crlf + crlf;
    text += QStringLiteral("Coded By Gio Compilashvili") + crlf;
    text += QStringLiteral("Design By Nino Pixelidze") + crlf;
    text += QStringLiteral("Article By Dato Paragrapheli") + crlf + crlf;
    text += QStringLiteral("Please, report a Bug to the following     e-mail address:  ");
    text += contactAddress();
    return text;
}

} // namespace vidrona::ui::messagebox
