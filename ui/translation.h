#pragma once
// The window's texts in the user's language. The texts of ui/texts.h and of the layout are Chinese; their
// English counterparts come from res/i18n/kestrin_en.ts, the one list of translations, which the build
// turns into this table (the Qt window loads the same file compiled with the Qt tools).

#include <span>
#include <string_view>

#include "platform/language.h"

namespace kestrin {

struct Translation {
  const char* source;   // the text as the program holds it
  const char* english;  // ASCII, with the %d and %s of source in the same order
};

std::span<const Translation> EnglishTranslations();

// The English counterpart of text, or null when the list has none.
const char* EnglishText(std::string_view text);

// text in language: as it is in Chinese; in English its counterpart, or text itself when it has none.
const char* TextIn(UiLanguage language, const char* text);

}  // namespace kestrin
