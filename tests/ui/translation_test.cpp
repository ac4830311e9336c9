// The English texts beside the Chinese ones: every text of ui/texts.h and of the window's layout has its
// counterpart, the dialog writes them when the window speaks English, and the Chinese stay as they are.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/memory_fs.h"
#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/layout.h"
#include "ui/resource_ids.h"
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

// The dialog on a headless window in each language, over an in-memory disk.
struct Window {
  explicit Window(UiLanguage language) : host(language), dlg(host, PathStyle::Posix()) { dlg.OnInitDialog(); }
  std::string Status() const { return host.Text(IDC_STATUS); }
  MemoryFileSystem fs{PathStyle::Posix()};
  ScopedFileSystem use{fs};
  headless::HeadlessHost host;
  CKestrinDlg dlg;
};

TEST(Translations, TheDialogWritesItsTextsInTheWindowsLanguage) {
  struct Case {
    UiLanguage language;
    const char *count, *summary, *noPath, *caption, *message, *button;
  } cases[] = {
      {UiLanguage::Chinese, "目录下共有2个文件.", "搜索2个文件,找到1个符合条件的文件.", "拷贝失败, 没有拷贝路径.",
       "提示", "非法的拷贝路径!", "拷贝文件"},
      {UiLanguage::English, "2 files in the folder.", "Searched 2 files, found 1 matching files.",
       "Copy failed, no copy output path.", "Notice", "Invalid copy path!", "Copy files"},
  };
  for (const Case& c : cases) {
    Window w(c.language);
    w.fs.AddFile("/in/a.txt", "key").AddFile("/in/b.txt", "none").AddFile("/file", "");
    w.host.QueueBrowseAnswer("/in");
    w.dlg.OnOpenInputFolder();
    EXPECT_EQ(w.Status(), c.count);
    w.host.Type(IDC_SEARCH_TEXT, "key");
    w.dlg.OnSearch();
    EXPECT_EQ(w.Status(), c.summary);
    w.host.Type(IDC_COPY_OUTPUT, "");
    w.dlg.OnCopyFiles();
    EXPECT_EQ(w.Status(), c.noPath);
    w.host.Type(IDC_COPY_OUTPUT, "/file/below");
    w.dlg.OnOpenCopyPath();
    ASSERT_EQ(w.host.Messages().size(), 1u);
    EXPECT_EQ(w.host.Messages()[0].caption, c.caption);
    EXPECT_EQ(w.host.Messages()[0].text, c.message);
    EXPECT_EQ(w.host.Text(IDC_COPY), c.button);
    EXPECT_EQ(w.host.BrowseTitles(), std::vector<std::string>{"Select input folder"});
  }
}

}  // namespace
}  // namespace kestrin::testing
