#include "platform/qttranslation.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace rimo {

bool installQtPersianTexts(const QString& folder)
{
    if (!qApp)
        return false;
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto* translator = new QTranslator(qApp);
    if (!translator->load(QStringLiteral("qtbase_fa"), from)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
    return true;
}

} // namespace rimo
