#include "ui/qt/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace kestrin::qt {

Translations::Translations(UiLanguage language) {
  if (language == UiLanguage::English) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // Qt's own texts are English already.
    windowInstalled_ = window_.load(QStringLiteral(":/kestrin/i18n/kestrin_en.qm")) &&
                       QCoreApplication::installTranslator(&window_);
  } else {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    // The window's texts are Chinese already. Without Qt's translations installed its dialogs stay English.
    qtInstalled_ = qt_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                   QCoreApplication::installTranslator(&qt_);
  }
}

Translations::~Translations() {
  if (windowInstalled_) QCoreApplication::removeTranslator(&window_);
  if (qtInstalled_) QCoreApplication::removeTranslator(&qt_);
  QLocale::setDefault(previousLocale_);
}

}  // namespace kestrin::qt
