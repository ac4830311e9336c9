// The English texts beside the Chinese ones: every text of ui/texts.h and of the window's layout has its
// counterpart in the list of translations.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "ui/layout.h"
#include "ui/translation.h"

namespace kestrin::testing {
namespace {

// Names the program hands on, not texts a user reads: they stay the same in every language.
const std::set<std::string> kNames = {"kFontFace", "kRegistryKey"};

TEST(Translations, EveryTextOfTheTextsHeaderHasOne) {
#ifdef _WIN32
  GTEST_SKIP() << "the header is UTF-8 and this build's table GBK; the Linux build checks the header";
#else
  std::ifstream file(KESTRIN_SOURCE_DIR "/ui/texts.h");
  ASSERT_TRUE(file) << "cannot read ui/texts.h";
  std::stringstream content;
  content << file.rdbuf();
  const std::string header = content.str();
  const std::regex constant(R"re(constexpr\s+const\s+char\s*\*\s*(k\w+)\s*=\s*"((?:[^"\\]|\\.)*)")re");
  int texts = 0;
  for (auto it = std::sregex_iterator(header.begin(), header.end(), constant); it != std::sregex_iterator(); ++it) {
    const std::string name = (*it)[1];
    if (kNames.contains(name)) continue;
    ++texts;
    EXPECT_NE(EnglishText((*it)[2].str()), nullptr) << name << " \"" << (*it)[2] << "\" has no English text";
  }
  EXPECT_GE(texts, 18) << "the header's texts were not found";
#endif
}

TEST(Translations, EveryCaptionOfTheWindowHasOne) {
  EXPECT_NE(EnglishText(KestrinDialog().caption), nullptr);
  for (const ControlDef& def : KestrinControls()) {
    if (def.caption[0] == '\0') continue;
    EXPECT_NE(EnglishText(def.caption), nullptr) << (def.name ? def.name : "a frame or label") << " \""
                                                 << def.caption << "\" has no English text";
  }
}

}  // namespace
}  // namespace kestrin::testing
