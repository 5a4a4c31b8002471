// Saves two different lists into the folder it is given, one after the
// other, for ever: the atomicity test kills it in the middle of a save.
#include "download/listfile.h"
#include <QCoreApplication>
#include <cstdio>

using namespace vidrona;
using namespace vidrona::download;

static void fill(DownloadList &list, int rows, const char *tag)
{
    for (int i = 0; i < rows; ++i)
        list.append(QStringLiteral("%1-%2.flv").arg(QLatin1String(tag)).arg(i),
                    QStringLiteral("http://files.example/%1/%2/video-%2.flv")
                        .arg(QLatin1String(tag)).arg(i),
                    Status::Pending);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    ListFile file(QString::fromLocal8Bit(argv[1]));
    DownloadList a, b;
    fill(a, 3000, "old");
    fill(b, 5000, "new");
    // A line after each save, so the test can kill it during any save,
    // however fast or slow this build runs.
    for (unsigned n = 0;; ++n) {
        file.save(n % 2 ? b : a);
        std::printf("saved\n");
        std::fflush(stdout);
    }
}
