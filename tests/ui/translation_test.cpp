// The English texts beside the Chinese ones: every text of ui/texts.h and of the window's layout has its
// counterpart in the list of translations.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "primitives/command.h"
#include "ui/failure_text.h"
#include "ui/headless/headless_host.h"
#include "ui/layout.h"
#include "ui/texts.h"
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

// Every reason a command gives has words of the window's own, one text each, whose English is what
// kestrin-cli prints for it.
TEST(Translations, EachFailureReasonHasTheWindowsWordsAndTheCommandLinesInEnglish) {
  std::set<std::string> sources;
  for (int r = 0; r <= static_cast<int>(FailureReason::System); ++r) {
    const auto reason = static_cast<FailureReason>(r);
    SCOPED_TRACE(ReasonWords(reason));
    const char* source = ReasonSourceText(reason);
    sources.insert(source);
    ASSERT_NE(EnglishText(source), nullptr);
    EXPECT_STREQ(EnglishText(source), ReasonWords(reason));
    EXPECT_STRNE(source, ReasonWords(reason)) << "a text of the window's own, not the English words";
  }
  EXPECT_EQ(sources.size(), static_cast<std::size_t>(FailureReason::System) + 1);
}

// The failure list as the window shows it: the reasons' words in its language, the system's own words
// as the system gave them.
TEST(FailureLines, TheReasonsInTheWindowsLanguage) {
  FailureList failures;
  failures.Add("/in/a", FailureReason::TargetExists);
  failures.Add("/in/b", FailureReason::Vanished, "No such file or directory");
  failures.Add("/in/c", FailureReason::System, "Input/output error");
  failures.Add("/in/d", FailureReason::System);
  const std::pair<UiLanguage, std::vector<std::string>> cases[] = {
      {UiLanguage::Chinese,
       {"/in/a: 目标已存在", "/in/b: 已不存在 (No such file or directory)", "/in/c: Input/output error", "/in/d: 未知错误"}},
      {UiLanguage::English,
       {"/in/a: target exists", "/in/b: vanished (No such file or directory)", "/in/c: Input/output error",
        "/in/d: unknown error"}},
  };
  for (const auto& [language, expected] : cases) {
    headless::HeadlessHost host(language);
    std::vector<std::string> shown;
    for (const FailureLine& line : WindowFailureLines(host, failures)) shown.push_back(line.path + ": " + line.reason);
    EXPECT_EQ(shown, expected);
  }
  // kestrin-cli's words stay English.
  EXPECT_EQ(ReasonText(failures[1]), "vanished (No such file or directory)");
}

}  // namespace
}  // namespace kestrin::testing
