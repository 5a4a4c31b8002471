#pragma once
// The Qt and standard headers most of the program's files include, read
// once per library rather than once per file (about half of a file's
// compile time was these headers). A file still includes what it uses.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
