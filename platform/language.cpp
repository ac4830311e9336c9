#include "platform/language.h"

#include <optional>

namespace kestrin {
namespace {

// The language part of a locale name: "zh" of "zh_CN.UTF-8", "en" of "en@quot".
std::string_view LanguagePart(std::string_view locale) {
  return locale.substr(0, locale.find_first_of("_.@"));
}

bool IsUntranslated(std::string_view locale) {
  const std::string_view language = LanguagePart(locale);
  return language == "C" || language == "POSIX";
}

std::optional<UiLanguage> Known(std::string_view locale) {
  const std::string_view language = LanguagePart(locale);
  if (language == "zh") return UiLanguage::Chinese;
  if (language == "en") return UiLanguage::English;
  return std::nullopt;
}

}  // namespace

UiLanguage LanguageFromLocale(std::string_view language, std::string_view lcAll, std::string_view lcMessages,
                              std::string_view lang) {
  std::string_view locale = lcAll;
  if (locale.empty()) locale = lcMessages;
  if (locale.empty()) locale = lang;
  if (locale.empty() || IsUntranslated(locale)) return UiLanguage::Chinese;
  if (!language.empty()) {
    while (!language.empty()) {
      const std::size_t colon = language.find(':');
      if (const std::optional<UiLanguage> known = Known(language.substr(0, colon))) return *known;
      language = colon == std::string_view::npos ? std::string_view() : language.substr(colon + 1);
    }
    return UiLanguage::English;
  }
  return Known(locale).value_or(UiLanguage::English);
}

UiLanguage LanguageFromCodePage(unsigned codePage) {
  return codePage == 936 ? UiLanguage::Chinese : UiLanguage::English;
}

}  // namespace kestrin
