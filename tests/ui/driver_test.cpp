// The scenario driver's contract: commands, errors, the dump, escaping, and the rename boxes' byte limit.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "state_folder.h"
#include "support/memory_fs.h"
#include "support/temp_folder.h"
#include "ui/headless/script_driver.h"
#include "primitives/path_text.h"
#include "ui/layout.h"

namespace kestrin::testing {
namespace {

using headless::EscapeText;
using headless::RunScript;

struct Outcome {
  int status;
  std::string out, err;
};

Outcome Drive(const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out, err;
  const int status = RunScript(in, out, err);
  return {status, out.str(), err.str()};
}

// The dump's line for one item ("text IDC_SEARCH_TEXT"), without its label; "(missing)" when absent.
std::string DumpLine(const std::string& out, const std::string& item) {
  std::istringstream lines(out);
  std::string line, value = "(missing)";
  while (std::getline(lines, line)) {
    if (line.starts_with(item + ": ")) value = line.substr(item.size() + 2);
  }
  return value;
}

TEST(Driver, StartDumpInContractOrder) {
  TempFolder noBatches;
  const ScopedStateFolder state(noBatches.path());
  const Outcome run = Drive("# a comment\n\n   \t\ndump\r\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "text IDC_COPY_OUTPUT: \ntext IDC_PATH_PREFIX: \ntext IDC_INPUT_PATH: \ntext IDC_NAME_FILTER: \n"
            "text IDC_SEARCH_TEXT: \ntext IDC_EXT_FILTER: \ntext IDC_STATUS: \ntext IDC_REF_PATH: \n"
            "text IDC_RENAME_OLD: \ntext IDC_RENAME_NEW: \ntext IDC_MATCH_COUNT: \ntext IDC_REF_PREVIEW: \n"
            "check IDC_RECURSIVE: 1\ncheck IDC_IGNORE_CASE: 0\ncheck IDC_NAME_WITH_DIR: 0\n"
            "check IDC_NAME_WITH_EXT: 0\ncheck IDC_INCLUDE_HIDDEN: 0\ncheck IDC_FORCE_RENAME: 0\n"
            "check IDC_RENAME_RESULTS_ONLY: 0\n"
            "shown IDC_STATUS: 1\nshown IDC_PROGRESS: 0\nshown IDC_FAILURES: 0\ncaption IDC_FAILURES: \n"
            "progress: 0..100 0\nrunning: 0\n"
            "enabled IDC_COPY: 1\nenabled IDC_COPY_OUTPUT: 1\nenabled IDC_PATH_PREFIX: 1\n"
            "enabled IDC_OPEN_COPY_PATH: 1\nenabled IDC_PROGRESS: 1\nenabled IDC_RESULT_LIST: 1\n"
            "enabled IDC_REF_LIST: 1\nenabled IDC_OPEN_INPUT: 1\nenabled IDC_OPEN_REF: 1\n"
            "enabled IDC_INPUT_PATH: 1\nenabled IDC_NAME_FILTER: 1\nenabled IDC_SEARCH: 1\n"
            "enabled IDC_SEARCH_TEXT: 1\nenabled IDC_EXT_FILTER: 1\nenabled IDC_STATUS: 1\n"
            "enabled IDC_REF_PATH: 1\nenabled IDC_RENAME_OLD: 1\nenabled IDC_RENAME: 1\n"
            "enabled IDC_RECURSIVE: 1\nenabled IDC_IGNORE_CASE: 1\nenabled IDC_NAME_WITH_DIR: 1\n"
            "enabled IDC_NAME_WITH_EXT: 1\nenabled IDC_INCLUDE_HIDDEN: 1\nenabled IDC_RENAME_NEW: 1\n"
            "enabled IDC_FORCE_RENAME: 1\nenabled IDC_REF_REPORT: 1\nenabled IDC_FAILURES: 1\n"
            "enabled IDC_MATCH_LIST: 1\nenabled IDC_MATCH_COUNT: 1\nenabled IDC_REF_PREVIEW: 1\n"
            "enabled IDC_UNDO: 0\nenabled IDC_RENAME_PREVIEW: 1\nenabled IDC_RENAME_RESULTS_ONLY: 1\n"
            "tooltip IDC_COPY_OUTPUT: 拷贝的文件放到此目录下, 各自保留路径前缀之后的目录.\n"
            "tooltip IDC_PATH_PREFIX: 拷贝时从每个文件的路径中去掉的开头部分, 路径的其余部分保留在输出目录下.\nend\n");
}

TEST(Driver, InvalidLinesStopTheRunWithStatusTwo) {
  const char* const lines[] = {
      "frobnicate",          "set IDC_STATUS x",         "set IDC_INPUT_PATH x", "set IDC_NOPE x",
      "set IDC_SEARCH x",    "set",                      "click IDC_STATUS",     "click IDC_RESULT_LIST",
      "click",               "select IDC_REF_LIST x1",   "select IDC_REF_LIST",  "dblclk IDC_RESULT_LIST 1.5",
      "select IDC_SEARCH 0", "select IDC_REF_LIST -",    "key space",            "key",
      "browse-input-cancel now", "dump extra",           " dump",                "bad\x01\x7F",
      "select IDC_REF_LIST 0 1", "select IDC_RESULT_LIST 0 x", "export IDC_REF_LIST /tmp/x", "export IDC_RESULT_LIST",
      "wait now",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    const Outcome run = Drive(std::string("key escape\n") + line + "\r\ndump\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");  // nothing after the bad line runs
    EXPECT_EQ(run.err, "error: " + EscapeText(line) + "\n");
  }
}

TEST(Driver, SetTypesTheRestOfTheLineWithinTheRenameLimit) {
  const std::string long130(130, 'x');
  // The character would end at byte 128 or 129 (two bytes in GBK, three in UTF-8).
  const std::string cutInside = std::string(126, 'a') + "中";
  const Outcome run = Drive("set IDC_SEARCH_TEXT  two  spaces \nset IDC_NAME_FILTER\nset IDC_RENAME_OLD " + long130 +
                        "\nset IDC_RENAME_NEW " + cutInside + "\nset IDC_EXT_FILTER a\tb\ndump\n");
  EXPECT_EQ(DumpLine(run.out, "text IDC_SEARCH_TEXT"), " two  spaces ");
  EXPECT_EQ(DumpLine(run.out, "text IDC_NAME_FILTER"), "");
  EXPECT_EQ(DumpLine(run.out, "text IDC_RENAME_OLD"), std::string(127, 'x'));
  EXPECT_EQ(DumpLine(run.out, "text IDC_RENAME_NEW"), std::string(126, 'a'));
  EXPECT_EQ(DumpLine(run.out, "text IDC_EXT_FILTER"), "a\\x09b");
}

TEST(Driver, ClicksSelectionsAndSideEffects) {
  const PathStyle& style = NativePathStyle();
  const std::string sep(1, style.Separator());
  const std::string root = style.windows ? "C:" : "";
  MemoryFileSystem fs;
  fs.AddFile(root + sep + "ref" + sep + "a.png").AddFile(root + sep + "ref" + sep + "b.png").AddFile(root + sep + "f");
  ScopedFileSystem use(fs);
  const Outcome run = Drive("click IDC_IGNORE_CASE\nclick IDC_RECURSIVE\nclick IDC_RECURSIVE\n"
                        "browse-ref " + root + sep + "ref\n"
                        "select IDC_REF_LIST 0\nset IDC_SEARCH_TEXT typed\n"
                        "select IDC_REF_LIST 0\ndump\n"           // unchanged: no handler runs
                        "select IDC_REF_LIST 7\ndump\n"           // none: the handler finds no line
                        "dblclk IDC_REF_LIST 1\ndump\n"           // a pick, then the search
                        "set IDC_COPY_OUTPUT " + root + sep + "f" + sep + "x\nclick IDC_OPEN_COPY_PATH\n"
                        "set IDC_COPY_OUTPUT " + root + sep + "out\nclick IDC_OPEN_COPY_PATH\n"
                        "set IDC_COPY_OUTPUT " + root + sep + "ref\nclick IDC_OPEN_COPY_PATH\n");
  EXPECT_EQ(run.status, 0);
  std::istringstream dumps(run.out);
  std::vector<std::string> searchTexts, statuses, checks, effects;
  for (std::string line; std::getline(dumps, line);) {
    if (line.starts_with("text IDC_SEARCH_TEXT: ")) searchTexts.push_back(line.substr(22));
    if (line.starts_with("text IDC_STATUS: ")) statuses.push_back(line.substr(17));
    if (line.starts_with("check IDC_IGNORE_CASE") || line.starts_with("check IDC_RECURSIVE")) checks.push_back(line);
    if (line.starts_with("open: ") || line.starts_with("message: ")) effects.push_back(line);
  }
  EXPECT_EQ(searchTexts, (std::vector<std::string>{"typed", "typed", "b"}));
  EXPECT_EQ(statuses.back(), "没有文件可查找.");
  EXPECT_EQ(checks[0], "check IDC_RECURSIVE: 1");
  EXPECT_EQ(checks[1], "check IDC_IGNORE_CASE: 1");
  // Only a folder that is there opens: opening makes none.
  const std::string dir = style.windows ? "c:\\" : "/";
  EXPECT_EQ(effects, (std::vector<std::string>{"message: 提示: 不是目录:" + dir + "f" + sep + "x" + sep + ".",
                                               "message: 提示: 不是目录:" + dir + "out" + sep + ".",
                                               "open: " + dir + "ref" + sep}));
  EXPECT_FALSE(fs.Exists(root + sep + "out"));
}

TEST(Driver, EscapesControlBytesOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\tb", "a\\x09b"}, {"\r\n", "\\x0D\\x0A"}, {std::string(1, '\0'), "\\x00"},
      {"\x1F\x20", "\\x1F "}, {"\x7F\x80", "\\x7F\x80"}, {"中\\x", "中\\x"},
  };
  for (const auto& [text, printed] : cases) EXPECT_EQ(EscapeText(text), printed);
}

TEST(RenameBoxLimit, KeepsWholeCharacters) {
  const PathStyle utf8 = PathStyle::Posix();
  const PathStyle gbk = PathStyle::Windows(&GbkLeadBytes());
  const PathStyle singleByte = PathStyle::Windows();
  struct Case {
    const PathStyle* style;
    std::string text;
    std::size_t limit, kept;
  };
  const Case cases[] = {
      {&utf8, "abc", 2, 2},
      {&utf8, "a\xE4\xB8\xAD", 3, 1},  // U+4E2D in UTF-8, written as bytes so every build sees the same
      {&utf8, "a\xE4\xB8\xAD", 4, 4},
      {&utf8, "\xF0\x9F\x98\x80x", 3, 0},
      {&utf8, "\xE4\xB8", 1, 1},  // a cut-off sequence: each byte on its own
      {&utf8, "\x80\x80\x80", 2, 2},
      {&gbk, "a\xD6\xD0", 2, 1},
      {&gbk, "a\xD6\xD0", 3, 3},
      {&gbk, "\xD6\x5C\x5C", 2, 2},  // the trail byte 0x5C belongs to the character before it
      {&gbk, "a\xD6", 2, 2},        // a lead byte at the very end stands alone
      {&singleByte, "\xD6\xD0", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(EscapeText(c.text) + " " + std::to_string(c.limit));
    EXPECT_EQ(WholeCharPrefixLength(c.text, c.limit, *c.style, CharRule::TypedText), c.kept);
  }
}

}  // namespace
}  // namespace kestrin::testing
