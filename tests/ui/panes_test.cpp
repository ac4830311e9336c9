// The panes below the two lists: the matching lines of the selected result, the preview of the selected
// reference file; and the result list's extended selection, copied and exported.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gate_fs.h"
#include "platform/ascii_case.h"
#include "support/memory_fs.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/resource_ids.h"

namespace kestrin::testing {
namespace {

using Lines = std::vector<std::string>;

// The headless window, which also keeps the marked part of each marked line and decodes "pictures": a
// file that begins with "IMG WxH" is an image of that size.
class PaneHost : public headless::HeadlessHost {
 public:
  using HeadlessHost::HeadlessHost;
  void ListAddMarked(int id, std::string_view text, std::size_t begin, std::size_t length) override {
    HeadlessHost::ListAddMarked(id, text, begin, length);
    marked.emplace_back(text.substr(begin, length));
  }
  std::optional<Picture> DecodePicture(int /*id*/, std::string_view bytes) override {
    int width = 0, height = 0;
    if (std::sscanf(std::string(bytes.substr(0, 20)).c_str(), "IMG %dx%d", &width, &height) != 2) return std::nullopt;
    return Picture{width, height, nullptr};
  }
  void ShowPicture(int /*id*/, const Picture* picture) override { shown = picture ? picture->width : -1; }
  std::vector<std::string> marked;
  int shown = 0;  // the width of the picture shown, -1: none
};

std::string Repeat(const std::string& line, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += line;
  return out;
}

struct Window {
  explicit Window(UiLanguage language = UiLanguage::Chinese, const PathStyle& style = PathStyle::Posix())
      : fs(style), host(language), dlg(host, style) {}
  void Search(const std::string& text, bool ignoreCase = false) {
    host.QueueBrowseAnswer("/in");
    dlg.OnOpenInputFolder();
    host.Type(IDC_SEARCH_TEXT, text);
    if (ignoreCase != host.Checked(IDC_IGNORE_CASE)) host.Toggle(IDC_IGNORE_CASE);
    dlg.OnSearch();
  }
  void Select(int line) {
    if (host.Select(IDC_RESULT_LIST, line)) dlg.OnCommand(IDC_RESULT_LIST, Notify::SelChange);
    host.RunPostedUntil([&] { return !dlg.PanesBusy(); });
  }
  MemoryFileSystem fs;
  ScopedFileSystem use{fs};
  PaneHost host;
  CKestrinDlg dlg;
};

TEST(MatchesPane, ShowsTheMatchingLinesOfTheSelectedResult) {
  const std::string longLine = std::string(1000, 'a') + "Key" + std::string(1000, 'b');
  const struct {
    const char* name;
    std::string content;
    std::string search;  // empty: no content text
    bool ignoreCase;
    UiLanguage language;
    std::string count;
    Lines first;         // the first lines of the pane
    std::string last;    // its last line
    std::size_t lines;
  } cases[] = {
      {"the case rule of the search", "a key\nA KEY\r\nnone\nkey", "key", false, UiLanguage::Chinese, "2行匹配",
       {"1: a key", "4: key"}, "4: key", 2},
      {"without case", "a key\nA KEY\r\nnone\nkey", "key", true, UiLanguage::Chinese, "3行匹配",
       {"1: a key", "2: A KEY"}, "4: key", 3},
      {"a long line cut around its match", "x\n" + longLine, "key", true, UiLanguage::Chinese, "1行匹配",
       {"2: ..." + std::string(250, 'a') + "Key" + std::string(247, 'b') + "..."}, "", 1},
      {"at most 1,000 lines, then how many more", Repeat("key\n", 1234), "key", false, UiLanguage::Chinese,
       "1234行匹配", {"1: key"}, "还有234行匹配未列出", 1001},
      {"the same in English", Repeat("key\n", 1234), "key", false, UiLanguage::English, "1234 matching lines",
       {"1: key"}, "234 more matching lines not listed", 1001},
      {"no content text: the first 200 lines", Repeat("line\n", 300), "", false, UiLanguage::Chinese,
       "文件的前200行", {"1: line", "2: line"}, "200: line", 200},
      {"no content text, in English", "one\ntwo", "", false, UiLanguage::English, "the first 2 lines of the file",
       {"1: one", "2: two"}, "2: two", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Window w(c.language);
    w.fs.AddFile("/in/f.txt", c.content);
    w.Search(c.search, c.ignoreCase);
    ASSERT_EQ(w.host.Lines(IDC_RESULT_LIST), Lines{"/in/f.txt"});
    w.Select(0);
    EXPECT_EQ(w.host.Text(IDC_MATCH_COUNT), c.count);
    const Lines pane = w.host.Lines(IDC_MATCH_LIST);
    ASSERT_EQ(pane.size(), c.lines);
    EXPECT_EQ(Lines(pane.begin(), pane.begin() + static_cast<long>(c.first.size())), c.first);
    if (!c.last.empty()) {
      EXPECT_EQ(pane.back(), c.last);
    }
    // The marked part of each line is the text searched for, by the search's case rule.
    for (const std::string& mark : w.host.marked) {
      std::string folded = mark;
      for (char& ch : folded) ch = static_cast<char>(AsciiToLower(static_cast<unsigned char>(ch)));
      EXPECT_EQ(c.ignoreCase ? folded : mark, c.search);
    }
    EXPECT_EQ(w.host.marked.size(), c.search.empty() ? 0u : std::min<std::size_t>(c.lines, 1000));
    // A double-click on a line opens the file.
    w.dlg.OnCommand(IDC_MATCH_LIST, Notify::DblClk);
    EXPECT_EQ(w.host.Opened(), Lines{"/in/f.txt"});
  }
}

TEST(MatchesPane, FollowsTheSelectionAndEmptiesWithTheResults) {
  Window w;
  w.fs.AddFile("/in/a.txt", "key a").AddFile("/in/b.txt", "key b");
  w.Search("key");
  ASSERT_EQ(w.host.Lines(IDC_RESULT_LIST), (Lines{"/in/a.txt", "/in/b.txt"}));
  w.Select(1);
  EXPECT_EQ(w.host.Lines(IDC_MATCH_LIST), Lines{"1: key b"});
  // A file gone since the search says why.
  ASSERT_TRUE(w.fs.RemoveFile("/in/a.txt").ok);
  w.Select(0);
  EXPECT_EQ(w.host.Text(IDC_MATCH_COUNT), "无法读取:已不存在");
  EXPECT_EQ(w.host.Lines(IDC_MATCH_LIST), Lines{});
  w.Select(1);
  w.Select(-1);  // no selection: an empty pane
  EXPECT_EQ(w.host.Text(IDC_MATCH_COUNT), "");
  EXPECT_EQ(w.host.Lines(IDC_MATCH_LIST), Lines{});
  w.Select(1);
  w.dlg.OnSearch();  // a new result list: an empty pane
  EXPECT_EQ(w.host.Text(IDC_MATCH_COUNT), "");
  EXPECT_EQ(w.host.Lines(IDC_MATCH_LIST), Lines{});
}

// The pane's reading never holds the window: a selection made while the last one's file is still being
// opened returns at once, and the pane then shows the new selection's lines only.
TEST(MatchesPane, ANewSelectionStopsTheOldReadingWithoutWaitingForIt) {
  MemoryFileSystem fs(PathStyle::Posix());
  fs.AddFile("/in/a.txt", "key a").AddFile("/in/b.txt", "key b");
  GateFileSystem gate(fs, GateFileSystem::At::Read, "/in/a.txt");
  ScopedFileSystem use(gate);
  PaneHost host;
  CKestrinDlg dlg(host, PathStyle::Posix());
  host.QueueBrowseAnswer("/in");
  dlg.OnOpenInputFolder();
  host.Type(IDC_SEARCH_TEXT, "key");
  dlg.OnSearch();
  ASSERT_EQ(host.Lines(IDC_RESULT_LIST), (Lines{"/in/a.txt", "/in/b.txt"}));
  gate.Arm();
  host.LeaveCommandsRunning(true);
  host.Select(IDC_RESULT_LIST, 0);
  dlg.OnCommand(IDC_RESULT_LIST, Notify::SelChange);
  gate.WaitReached();
  host.Select(IDC_RESULT_LIST, 1);
  dlg.OnCommand(IDC_RESULT_LIST, Notify::SelChange);  // returns with the first reading held at the gate
  host.LeaveCommandsRunning(false);
  EXPECT_TRUE(dlg.PanesBusy());
  gate.Open();
  host.RunPostedUntil([&] { return !dlg.PanesBusy(); });
  EXPECT_EQ(host.Lines(IDC_MATCH_LIST), Lines{"1: key b"});
  EXPECT_EQ(host.Text(IDC_MATCH_COUNT), "1行匹配");
}

TEST(ResultList, CopiesAndExportsTheSelectedOrAllPaths) {
  TempFolder tmp;
  for (const bool windows : {false, true}) {
    SCOPED_TRACE(windows ? "Windows" : "POSIX");
    const PathStyle style = windows ? PathStyle::Windows() : PathStyle::Posix();
    Window w(UiLanguage::Chinese, style);
    w.fs.AddFile("/in/a.txt", "key").AddFile("/in/b.txt", "key").AddFile("/in/c.txt", "key");
    w.host.QueueBrowseAnswer("/in");
    w.dlg.OnOpenInputFolder();
    w.host.Type(IDC_SEARCH_TEXT, "key");
    w.dlg.OnSearch();
    const Lines results = w.host.Lines(IDC_RESULT_LIST);
    ASSERT_EQ(results.size(), 3u);
    const std::string end = windows ? "\r\n" : "\n";
    w.host.Select(IDC_RESULT_LIST, 2);
    ASSERT_TRUE(w.host.SelectMore(IDC_RESULT_LIST, 0));
    EXPECT_TRUE(w.dlg.OnEntryCommand(IDC_RESULT_LIST, 0, EntryCommand::CopySelectedPaths));
    EXPECT_EQ(w.host.Clipboard(), results[0] + end + results[2] + end);
    EXPECT_TRUE(w.dlg.OnEntryCommand(IDC_RESULT_LIST, 0, EntryCommand::CopyAllPaths));
    EXPECT_EQ(w.host.Clipboard(), results[0] + end + results[1] + end + results[2] + end);
    // The export through the save dialog, and straight to a file; a file that cannot be made says so.
    const std::string file = tmp.Join(windows ? "win.txt" : "posix.txt");
    w.host.QueueSaveAnswer(file);
    EXPECT_TRUE(w.dlg.OnEntryCommand(IDC_RESULT_LIST, 1, EntryCommand::ExportList));
    EXPECT_EQ(ReadFile(file), w.host.Clipboard());
    EXPECT_TRUE(w.dlg.ExportList(IDC_RESULT_LIST, file));
    EXPECT_EQ(ReadFile(file), w.host.Clipboard());
    EXPECT_FALSE(w.dlg.ExportList(IDC_RESULT_LIST, tmp.Join("missing/x.txt")));
    ASSERT_EQ(w.host.Messages().size(), 1u);
    EXPECT_EQ(w.host.Messages()[0].text, "无法写入:" + tmp.Join("missing/x.txt") + ".");
    EXPECT_FALSE(w.dlg.ExportList(IDC_REF_LIST, file));
    // A rename empties the list: nothing is listed to copy or export.
    w.host.Type(IDC_RENAME_OLD, "zzz");
    w.dlg.OnBatchRename();
    EXPECT_FALSE(w.dlg.OnEntryCommand(IDC_RESULT_LIST, 0, EntryCommand::CopyAllPaths));
    EXPECT_FALSE(w.dlg.ExportList(IDC_RESULT_LIST, file));
  }
}

TEST(RefPreview, ShowsAPicturesSizeOrTheFilesBytes) {
  const struct {
    const char* name;
    const char* content;  // null: the file is gone before it is selected
    UiLanguage language;
    std::string text;
    int shown;
  } cases[] = {
      {"an image", "IMG 640x480 ...", UiLanguage::Chinese, "640×480像素, 15字节", 640},
      {"an image, in English", "IMG 64x32", UiLanguage::English, "64x32 px, 9 bytes", 64},
      {"not an image", "plain", UiLanguage::Chinese, "5字节", -1},
      {"not an image, in English", "", UiLanguage::English, "0 bytes", -1},
      {"gone", nullptr, UiLanguage::Chinese, "无法读取:已不存在", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Window w(c.language);
    w.fs.AddFile("/ref/r.png", c.content ? c.content : "");
    w.host.QueueBrowseAnswer("/ref");
    w.dlg.OnOpenRefFolder();
    if (!c.content) {
      ASSERT_TRUE(w.fs.RemoveFile("/ref/r.png").ok);
    }
    ASSERT_TRUE(w.host.Select(IDC_REF_LIST, 0));
    w.dlg.OnCommand(IDC_REF_LIST, Notify::SelChange);
    w.host.RunPostedUntil([&] { return !w.dlg.PanesBusy(); });
    EXPECT_EQ(w.host.Text(IDC_SEARCH_TEXT), "r");  // what a selection did before stays
    EXPECT_EQ(w.host.Text(IDC_REF_PREVIEW), c.text);
    EXPECT_EQ(w.host.shown, c.shown);
    // A new reference list empties the preview.
    w.host.QueueBrowseAnswer("/ref");
    w.dlg.OnOpenRefFolder();
    EXPECT_EQ(w.host.Text(IDC_REF_PREVIEW), "");
    EXPECT_EQ(w.host.shown, -1);
  }
}

}  // namespace
}  // namespace kestrin::testing
