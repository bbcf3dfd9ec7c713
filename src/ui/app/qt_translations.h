// Qt's own texts (the buttons of message boxes, file dialogs) in the language the program
// shows: Qt's translation catalogue for that language is installed on the application and
// replaced when the language changes.
#pragma once

#include <QString>

namespace vantrel::ui {

// Qt's name of the translation that serves language index 0 to 4 ("fr", "zh_CN", ...);
// empty for English, which needs none.
QString QtTranslationLocale(int languageIndex);

// Installs Qt's translation for the language index, replacing the one installed before;
// nothing is installed for English. Doing it again for the language in force does
// nothing. False when the language needs a translation and none was found (Qt's texts
// then stay English).
bool UseQtTranslations(int languageIndex);

}  // namespace vantrel::ui
