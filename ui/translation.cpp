#include "ui/translation.h"

namespace kestrin {
namespace {

constexpr Translation kEnglish[] = {
#include "kestrin_en_texts.inc"
};

}  // namespace

std::span<const Translation> EnglishTranslations() { return kEnglish; }

const char* EnglishText(std::string_view text) {
  for (const Translation& t : kEnglish) {
    if (text == t.source) return t.english;
  }
  return nullptr;
}

const char* TextIn(UiLanguage language, const char* text) {
  if (language == UiLanguage::Chinese) return text;
  const char* english = EnglishText(text);
  return english != nullptr ? english : text;
}

}  // namespace kestrin
