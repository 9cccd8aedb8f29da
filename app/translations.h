#pragma once
// Qt's own translations (its dialogs, the text box's menu) for the user's language. The window's
// own words are fixed and are not translated.

#include <QLocale>

class QTranslator;

namespace qrapp {

// Loads Qt's translations for Locale from Qt's translations folder into Translator and installs
// it in the application; the caller keeps Translator alive while the application runs. Returns
// false, installing nothing, when Qt has no translation for that language.
bool InstallQtTranslations(QTranslator& Translator, const QLocale& Locale);

}  // namespace qrapp
