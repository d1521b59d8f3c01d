#include "app/qttranslation.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace QtTranslation {

bool loadChinese(QTranslator *translator)
{
    // qtbase holds every widget and dialog text the program shows; the Debian package
    // qttranslations5-l10n puts it in Qt's translations folder.
    return translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                            QStringLiteral("_"),
                            QLibraryInfo::location(QLibraryInfo::TranslationsPath));
}

} // namespace QtTranslation
