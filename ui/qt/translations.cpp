#include "ui/qt/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace kestrin::qt {

Translations::Translations(UiLanguage language) {
  if (language == UiLanguage::English) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // Qt's own texts are English already.
    m_windowInstalled = m_window.load(QStringLiteral(":/kestrin/i18n/kestrin_en.qm")) &&
                       QCoreApplication::installTranslator(&m_window);
  } else {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    // The window's texts are Chinese already. Without Qt's translations installed its dialogs stay English.
    m_qtInstalled = m_qt.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                   QCoreApplication::installTranslator(&m_qt);
  }
}

Translations::~Translations() {
  if (m_windowInstalled) QCoreApplication::removeTranslator(&m_window);
  if (m_qtInstalled) QCoreApplication::removeTranslator(&m_qt);
  QLocale::setDefault(m_previousLocale);
}

}  // namespace kestrin::qt
