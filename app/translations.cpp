#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace qrapp {

bool InstallQtTranslations(QTranslator& Translator, const QLocale& Locale) {
    // "qt_<language>" gathers the translations of every Qt module that has one for the language.
    if (!Translator.load(Locale, QStringLiteral("qt"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&Translator);
}

}  // namespace qrapp
