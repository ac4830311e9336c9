#pragma once
// The window's language on Qt: in English the window's translations (res/i18n/kestrin_en.ts, compiled into
// the program); in Chinese Qt's own Chinese texts, so that its file dialogs and the message box's button
// speak the window's language too. The default locale follows.

#include <QLocale>
#include <QTranslator>

#include "platform/language.h"

namespace kestrin::qt {

class Translations {
 public:
  // Installs the translators of language on the application (which must exist).
  explicit Translations(UiLanguage language);
  // Removes them and puts the default locale back.
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;

 private:
  QLocale m_previousLocale;
  QTranslator m_window;
  QTranslator m_qt;
  bool m_windowInstalled = false;
  bool m_qtInstalled = false;
};

}  // namespace kestrin::qt
