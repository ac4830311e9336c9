// Which language the user's settings ask for: the locale environment on POSIX, the code page on Windows.
#include <gtest/gtest.h>

#include "platform/language.h"

namespace kestrin {
namespace {

constexpr UiLanguage zh = UiLanguage::Chinese;
constexpr UiLanguage en = UiLanguage::English;

TEST(Language, FromTheLocaleEnvironment) {
  struct Case {
    const char *language, *lcAll, *lcMessages, *lang;
    UiLanguage expected;
  } cases[] = {
      {"", "", "", "", zh},                        // nothing set
      {"", "", "", "C", zh},
      {"", "", "", "C.UTF-8", zh},
      {"", "", "", "C.utf8", zh},
      {"", "", "", "POSIX", zh},
      {"", "", "", "zh_CN.UTF-8", zh},
      {"", "", "", "zh_TW.Big5", zh},
      {"", "", "", "en_US.UTF-8", en},
      {"", "", "", "de_DE.UTF-8", en},
      {"", "", "", "fr_FR@euro", en},
      {"", "", "", "zhx_YY", en},                  // only the language part counts, and whole
      {"", "C", "", "en_US.UTF-8", zh},            // LC_ALL before LC_MESSAGES before LANG
      {"", "", "de_DE.UTF-8", "zh_CN.UTF-8", en},
      {"", "zh_CN.UTF-8", "de_DE.UTF-8", "", zh},
      {"en_US", "", "", "zh_CN.UTF-8", en},        // LANGUAGE before the locale
      {"zh_CN:en_US", "", "", "de_DE.UTF-8", zh},
      {"fr:de", "", "", "zh_CN.UTF-8", en},        // neither Chinese nor English listed
      {"fr::zh_CN", "", "", "en_US.UTF-8", zh},    // the first language we have wins
      {"en_US", "", "", "", zh},                   // LANGUAGE counts only with a locale set
      {"en_US", "C.UTF-8", "", "", zh},            // and not in the C locale
      {"en_US", "POSIX", "", "de_DE", zh},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LanguageFromLocale(c.language, c.lcAll, c.lcMessages, c.lang), c.expected)
        << "LANGUAGE=" << c.language << " LC_ALL=" << c.lcAll << " LC_MESSAGES=" << c.lcMessages
        << " LANG=" << c.lang;
  }
}

TEST(Language, FromTheCodePage) {
  EXPECT_EQ(LanguageFromCodePage(936), zh);
  for (unsigned page : {1252u, 437u, 65001u, 950u, 932u, 54936u}) EXPECT_EQ(LanguageFromCodePage(page), en) << page;
}

}  // namespace
}  // namespace kestrin
