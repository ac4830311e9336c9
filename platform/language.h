#pragma once
// The language the user's settings ask the window to speak. The window's texts are Chinese; every other
// language the settings may name gets English.

#include <string_view>

namespace kestrin {

enum class UiLanguage { Chinese, English };

// The POSIX reading of the environment. The locale of messages is the first of LC_ALL, LC_MESSAGES and
// LANG that is set; unset, C, C.UTF-8 or POSIX keeps the texts as they are (Chinese). Otherwise LANGUAGE,
// a priority list separated by colons, decides when it is set: its first Chinese (zh...) or English
// (en...) entry, and English when it names neither. Without it the locale decides: zh... Chinese, any
// other language English. Empty values count as unset.
UiLanguage LanguageFromLocale(std::string_view language, std::string_view lcAll, std::string_view lcMessages,
                              std::string_view lang);

// The Windows reading: Chinese where the ANSI code page is 936 (GBK), the one the texts are stored in;
// English elsewhere, where the Chinese texts would show garbled.
UiLanguage LanguageFromCodePage(unsigned codePage);

// The running program's: its environment on POSIX, the ANSI code page on Windows.
UiLanguage SystemUiLanguage();

}  // namespace kestrin
