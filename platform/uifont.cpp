#include "platform/uifont.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>

namespace rimo {

namespace {

const QString kTahoma = QStringLiteral("Tahoma");

bool hasTahoma()
{
    return QFontDatabase::hasFamily(kTahoma);
}

} // namespace

QStringList bundledTahomaFiles()
{
    return {QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
            QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf")};
}

bool ensureTahoma(const QStringList& files)
{
    if (hasTahoma())
        return true;
    for (const QString& file : files) {
        if (QFile::exists(file))
            QFontDatabase::addApplicationFont(file);
    }
    return hasTahoma();
}

QFont tahomaFont()
{
    // Once per process: the database keeps what was added, and a missing package is not
    // looked for again on every window.
    static const bool loaded = QGuiApplication::instance() != nullptr && ensureTahoma();
    Q_UNUSED(loaded);
    QFont f;
    f.setFamilies({kTahoma, QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans Arabic"),
                   QStringLiteral("Noto Sans")});
    f.setPointSize(8);
    return f;
}

} // namespace rimo
