#include "ui/app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <array>
#include <memory>

namespace vantrel::ui {
namespace {

// By language index (English, Simplified Chinese, Traditional Chinese, French, and the
// fifth file's Traditional Chinese, for which Qt's Taiwan catalogue serves).
constexpr std::array<const char*, 5> kLocales = {"", "zh_CN", "zh_TW", "fr", "zh_TW"};

struct Installed {
  std::unique_ptr<QTranslator> translator;
  QString locale;
  bool set = false;
};

Installed& Current() {
  static Installed installed;
  return installed;
}

}  // namespace

QString QtTranslationLocale(int languageIndex) {
  if (languageIndex < 0 || languageIndex >= static_cast<int>(kLocales.size())) languageIndex = 0;
  return QString::fromLatin1(kLocales[static_cast<std::size_t>(languageIndex)]);
}

bool UseQtTranslations(int languageIndex) {
  Installed& current = Current();
  const QString locale = QtTranslationLocale(languageIndex);
  if (current.set && current.locale == locale) return locale.isEmpty() || current.translator != nullptr;
  if (current.translator) {
    QCoreApplication::removeTranslator(current.translator.get());
    current.translator.reset();
  }
  current.locale = locale;
  current.set = true;
  if (locale.isEmpty()) return true;
  auto translator = std::make_unique<QTranslator>();
  // qtbase carries the texts of the widgets the program uses (message boxes, file dialogs).
  if (!translator->load(QStringLiteral("qtbase_") + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  QCoreApplication::installTranslator(translator.get());
  current.translator = std::move(translator);
  return true;
}

}  // namespace vantrel::ui
