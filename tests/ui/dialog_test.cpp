// The dialog's handlers on a recording window over an in-memory file system: the order of the calls of a
// progress run, the input modes, the reference names, the failure texts and the message map.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "logging_fs.h"
#include "platform/user_folders.h"
#include "recording_host.h"
#include "support/faulty_fs.h"
#include "support/memory_fs.h"
#include "ui/kestrin_dlg.h"
#include "ui/resource_ids.h"

namespace kestrin::testing {
namespace {

using Lines = std::vector<std::string>;

// One window: a recording host, the dialog on it, and an in-memory disk in force while it lives.
struct Window {
  explicit Window(PathStyle pathStyle = PathStyle::Posix())
      : style(pathStyle), fs(style), logging(fs, host.log, host.logMutex), use(logging), dlg(host, style) {
    dlg.OnInitDialog();
    host.log.clear();
  }
  void Browse(std::optional<std::string> answer) {
    host.QueueBrowseAnswer(std::move(answer));
    dlg.OnOpenInputFolder();
  }
  void BrowseRef(std::string answer) {
    host.QueueBrowseAnswer(std::move(answer));
    dlg.OnOpenRefFolder();
  }
  void Drop(Lines paths, bool ctrl) {
    host.SetCtrlHeld(ctrl);
    dlg.OnDropFiles(paths);
    host.SetCtrlHeld(false);
  }
  std::string Status() const { return host.Text(IDC_STATUS); }

  PathStyle style;
  RecordingHost host;
  MemoryFileSystem fs;
  LoggingFileSystem logging;
  ScopedFileSystem use;
  CKestrinDlg dlg;
};

// A progress run's calls as the window may show them. Run on the window thread while the worker goes
// on (PostedCalls::WindowThread), positions set in a row may show as their last only: each run of
// "Pos" lines of both the calls and the expectation is then compared as its last line.
void ExpectRun(const RecordingHost& host, Lines calls, Lines expected) {
  if (host.PostedCallsRun() == headless::PostedCalls::WindowThread) {
    for (Lines* lines : {&calls, &expected}) {
      Lines kept;
      for (std::size_t i = 0; i < lines->size(); ++i) {
        const bool nextIsPos = i + 1 < lines->size() && (*lines)[i + 1].starts_with("Pos ");
        if (!((*lines)[i].starts_with("Pos ") && nextIsPos)) kept.push_back((*lines)[i]);
      }
      *lines = std::move(kept);
    }
  }
  EXPECT_EQ(calls, expected);
}

const std::initializer_list<std::string_view> kRunCalls = {"Range", "Pos", "Show", "SetText IDC_STATUS",
                                                           "ListAdd", "Fill", "EndFill", "Copy", "Move"};

TEST(ProgressRun, SearchWithFiltersSetsEachPositionBeforeTheFile) {
  Window w;
  w.fs.AddFile("/in/a.txt", "key").AddFile("/in/b.log", "key").AddFile("/in/c.txt", "none");
  w.Browse("/in");
  w.host.Type(IDC_EXT_FILTER, ".txt");
  w.host.Type(IDC_SEARCH_TEXT, "key");
  w.host.log.clear();
  w.dlg.OnSearch();
  ExpectRun(w.host, w.host.log, (Lines{"GetText IDC_NAME_FILTER", "GetText IDC_EXT_FILTER", "GetText IDC_SEARCH_TEXT",
                               "ListReset IDC_RESULT_LIST", "Range 0..2", "Pos 0", "Show IDC_PROGRESS 1",
                               "Show IDC_STATUS 0", "IsChecked IDC_IGNORE_CASE", "Fill IDC_RESULT_LIST 3",
                               "Pos 0", "ListAdd IDC_RESULT_LIST: /in/a.txt", "Pos 1", "Pos 2",
                               "EndFill IDC_RESULT_LIST", "Show IDC_PROGRESS 0",
                               "Show IDC_STATUS 1", "SetText IDC_STATUS: 搜索3个文件,找到1个符合条件的文件."}));
  // reads() comes sorted: the files are read on several workers, in no fixed order.
  EXPECT_EQ(w.logging.reads(), (Lines{"/in/a.txt", "/in/c.txt"})) << "only the files whose extension passed";
}

TEST(ProgressRun, SearchWithoutFiltersAddsThenSetsPositionAndKeepsTheStatus) {
  Window w;
  w.fs.AddFile("/in/a").AddFile("/in/b");
  w.Browse("/in");
  w.host.log.clear();
  w.dlg.OnSearch();
  ExpectRun(w.host, w.host.Only(kRunCalls),
            (Lines{"Range 0..1", "Pos 0", "Show IDC_PROGRESS 1", "Show IDC_STATUS 0", "Fill IDC_RESULT_LIST 2",
                   "ListAdd IDC_RESULT_LIST: /in/a", "Pos 0", "ListAdd IDC_RESULT_LIST: /in/b", "Pos 1",
                   "EndFill IDC_RESULT_LIST", "Show IDC_PROGRESS 0", "Show IDC_STATUS 1"}));
  EXPECT_EQ(w.Status(), "目录下共有2个文件.");
  EXPECT_EQ(w.dlg.Results().size(), 2u);
}

TEST(ProgressRun, RenameSetsEachPositionBeforeTheFileThenCollectsAgain) {
  Window w;
  w.fs.AddFile("/in/a_old.txt").AddFile("/in/b.txt").AddFile("/in/c_OLD.txt");
  w.Browse("/in");
  w.host.Type(IDC_RENAME_OLD, "old");
  w.host.Type(IDC_RENAME_NEW, "new");
  w.host.log.clear();
  w.dlg.OnBatchRename();
  // The moves happen on the worker: in order among themselves, in no fixed order with the window's calls.
  EXPECT_EQ(w.host.Only({"Move"}),
            (Lines{"Move /in/a_old.txt -> /in/a_new.txt", "Move /in/c_OLD.txt -> /in/c_new.txt"}));
  ExpectRun(w.host, w.host.Only({"ListReset", "GetText", "IsChecked", "Range", "Pos", "Show", "SetText"}),
            (Lines{"IsChecked IDC_RENAME_RESULTS_ONLY", "ListReset IDC_RESULT_LIST", "GetText IDC_RENAME_OLD",
                   "GetText IDC_RENAME_NEW", "IsChecked IDC_FORCE_RENAME", "Range 0..2", "Pos 0", "Show IDC_PROGRESS 1", "Show IDC_STATUS 0",
                   "IsChecked IDC_RECURSIVE", "IsChecked IDC_INCLUDE_HIDDEN", "Pos 0", "Pos 1", "Pos 2",
                   "Show IDC_PROGRESS 0", "Show IDC_STATUS 1", "SetText IDC_STATUS: 搜索3个文件,修改了2个符合条件的文件."}));
  ASSERT_EQ(w.dlg.Files().size(), 3u);
  EXPECT_EQ(w.dlg.Files()[0], "/in/b.txt");  // collected anew: the renamed files under their new names
  EXPECT_TRUE(w.fs.Exists("/in/a_new.txt") && w.fs.Exists("/in/c_new.txt"));
}

TEST(ProgressRun, CopySetsEachPositionAfterTheFile) {
  Window w;
  w.fs.AddFile("/p/in/a", "1").AddFile("/p/in/b", "2");
  w.Browse("/p/in");
  w.dlg.OnSearch();
  FaultyFileSystem faulty(w.fs);
  faulty.Fail(FsOp::CopyReplacing, "/p/in/b");  // that copy fails
  LoggingFileSystem logging(faulty, w.host.log, w.host.logMutex);
  ScopedFileSystem use(logging);
  w.host.Type(IDC_PATH_PREFIX, "/p/");
  w.host.Type(IDC_COPY_OUTPUT, "/out");
  w.host.log.clear();
  w.dlg.OnCopyFiles();
  // The copies happen on the worker: in order among themselves, in no fixed order with the window's calls.
  EXPECT_EQ(w.host.Only({"Copy"}), (Lines{"Copy /p/in/a", "Copy /p/in/b"}));
  ExpectRun(w.host, w.host.Only({"Range", "Pos", "Show", "SetText"}),
            (Lines{"Range 0..1", "Pos 0", "Show IDC_PROGRESS 1", "Show IDC_STATUS 0", "Pos 0", "Pos 1",
                   "Show IDC_PROGRESS 0", "Show IDC_STATUS 1", "SetText IDC_STATUS: 拷贝完成, 其中成功:1个, 失败:1个.",
                   "Show IDC_FAILURES 1"}));
  EXPECT_EQ(w.fs.Content("/out/in/a"), "1");
}

// The button beside the status box: the number of files the last command could not handle, shown only
// while there are some, and a click on it lists them as a click on the status box does.
TEST(FailuresButton, ShowsTheLastCommandsFailuresAndHidesWithoutThem) {
  Window w;
  w.fs.AddFile("/p/in/a", "1").AddFile("/p/in/b", "2").AddFile("/p/in/c", "3");
  w.Browse("/p/in");
  EXPECT_FALSE(w.host.Visible(IDC_FAILURES));
  w.dlg.OnSearch();
  w.host.Type(IDC_PATH_PREFIX, "/p/");
  w.host.Type(IDC_COPY_OUTPUT, "/out");
  {
    FaultyFileSystem faulty(w.fs);
    faulty.Fail(FsOp::CopyReplacing, "/p/in/b");
    faulty.Fail(FsOp::CopyReplacing, "/p/in/c");
    ScopedFileSystem use(faulty);
    w.dlg.OnCopyFiles();
  }
  EXPECT_TRUE(w.host.Visible(IDC_FAILURES));
  EXPECT_EQ(w.host.Text(IDC_FAILURES), "2个失败");
  EXPECT_TRUE(w.dlg.OnCommand(IDC_FAILURES, Notify::Clicked));
  ASSERT_EQ(w.host.FailureLists().size(), 1u);
  EXPECT_EQ(w.host.FailureLists().back().size(), 2u);
  // A search without failures: the button goes.
  w.dlg.OnSearch();
  EXPECT_FALSE(w.host.Visible(IDC_FAILURES));
  EXPECT_FALSE(w.dlg.OnCommand(IDC_FAILURES, Notify::Clicked));
}

TEST(ProgressRun, RangeHoldsCountsBeyondSixteenBits) {
  Window w;
  for (int i = 0; i < 40000; ++i) w.fs.AddFile("/in/" + std::to_string(i / 200) + "/" + std::to_string(i));
  w.Browse("/in");
  w.host.log.clear();
  w.dlg.OnSearch();
  EXPECT_EQ(w.host.Only({"Range"}), Lines{"Range 0..39999"});
  EXPECT_EQ(w.host.ProgressPos(), 39999);
  EXPECT_EQ(w.host.Lines(IDC_RESULT_LIST).size(), 40000u);
}

// The input modes: every start mode against every way of choosing an input.
TEST(InputModes, EveryStartModeMeetsEveryWayOfChoosingAnInput) {
  struct Mode {
    bool single;
    std::string input;
    std::size_t files;
  };
  struct Start {
    const char* name;
    std::function<void(Window&)> enter;
    Mode mode;
  };
  const std::vector<Start> starts = {
      {"none", [](Window&) {}, {false, "", 0}},
      {"folder", [](Window& w) { w.Browse("/in"); }, {false, "/in/", 2}},
      {"single", [](Window& w) { w.Drop({"/x.txt"}, true); }, {true, "/x.txt", 0}},
  };
  struct Action {
    const char* name;
    std::function<void(Window&)> act;
    std::optional<Mode> mode;  // none: the start's mode stays
  };
  const std::vector<Action> actions = {
      {"browse", [](Window& w) { w.Browse("/in/sub"); }, Mode{false, "/in/sub/", 1}},
      {"browse cancelled", [](Window& w) { w.Browse(std::nullopt); }, std::nullopt},
      {"browse without a path", [](Window& w) { w.Browse(""); }, std::nullopt},
      {"folder drop", [](Window& w) { w.Drop({"/in/sub"}, false); }, Mode{false, "/in/sub/", 1}},
      {"file drop", [](Window& w) { w.Drop({"/x.txt"}, false); }, std::nullopt},
      {"ctrl file drop", [](Window& w) { w.Drop({"/in/a.txt"}, true); }, Mode{true, "/in/a.txt", 0}},
      {"ctrl drop of a missing path", [](Window& w) { w.Drop({"/nope"}, true); }, Mode{true, "/nope", 0}},
      {"ctrl folder drop", [](Window& w) { w.Drop({"/in"}, true); }, std::nullopt},
  };
  for (const Start& start : starts) {
    for (const Action& action : actions) {
      SCOPED_TRACE(std::string(start.name) + " + " + action.name);
      Window w;
      w.fs.AddFile("/in/a.txt").AddFile("/in/sub/b.txt").AddFile("/x.txt");
      start.enter(w);
      action.act(w);
      const Mode want = action.mode.value_or(start.mode);
      EXPECT_EQ(w.dlg.SingleFileMode(), want.single);
      EXPECT_EQ(w.dlg.InputPath(), want.input);
      EXPECT_EQ(w.dlg.Files().size(), want.files);
      EXPECT_EQ(w.host.Text(IDC_INPUT_PATH), want.input);
    }
  }
}

TEST(InputModes, DropsTouchOnlyWhatTheirCaseSays) {
  Window w;
  w.fs.AddFile("/in/a.txt", "k").AddFolder("/ref/").AddFile("/ref/r.png");
  w.Browse("/in");
  w.dlg.OnSearch();
  w.host.Type(IDC_COPY_OUTPUT, "/typed");

  w.Drop({"/ref/", "/in"}, true);  // a folder already ending in a separator gets none; the second item is ignored
  EXPECT_EQ(w.dlg.RefPath(), "/ref/");
  EXPECT_EQ(w.host.Text(IDC_REF_PATH), "/ref/");
  EXPECT_EQ(w.host.Lines(IDC_REF_LIST), Lines{"r.png"});
  EXPECT_EQ(w.Status(), "目录下共有1个文件.");

  w.Drop({"/in/a.txt"}, false);  // a file without Ctrl: only its name goes to the search box
  EXPECT_EQ(w.host.Text(IDC_SEARCH_TEXT), "a.txt");

  w.Drop({"/in/a.txt"}, true);
  EXPECT_EQ(w.Status(), "拖入单个文件.");
  EXPECT_EQ(w.host.Text(IDC_COPY_OUTPUT), "/typed");             // the copy boxes keep their texts
  EXPECT_EQ(w.host.Lines(IDC_RESULT_LIST), Lines{"/in/a.txt"});  // and the last results stay listed
  EXPECT_EQ(w.dlg.Results().size(), 1u);
}

TEST(InputModes, RecursiveClickWalksAgainOnlyOutsideSingleFileMode) {
  Window w;
  w.fs.AddFile("/in/a").AddFile("/in/s/b").AddFile("/ref/r").AddFile("/ref/s/q").AddFile("/x");
  w.Browse("/in");
  w.BrowseRef("/ref");
  w.host.Type(IDC_REF_PATH, "/typed");  // shown only, never read
  w.host.Toggle(IDC_RECURSIVE);
  w.dlg.OnRecursiveClicked();
  EXPECT_EQ(w.Status(), "目录下共有1个文件.");
  EXPECT_EQ(w.host.Lines(IDC_REF_LIST), Lines{"r"});

  w.Drop({"/x"}, true);
  w.host.Toggle(IDC_RECURSIVE);
  w.host.log.clear();
  w.dlg.OnRecursiveClicked();
  EXPECT_TRUE(w.host.log.empty());
  EXPECT_EQ(w.host.Lines(IDC_REF_LIST), Lines{"r"});

  Window fresh;
  fresh.dlg.OnRecursiveClicked();
  EXPECT_EQ(fresh.host.log, (Lines{"IsChecked IDC_RECURSIVE", "IsChecked IDC_INCLUDE_HIDDEN"}));
}

TEST(InputModes, FolderDropAndBrowseProposeCopyPaths) {
  Window w;
  w.fs.AddFile("/proj/PublicRes/ui/a.png").AddFolder("/empty");
  w.Drop({"/proj/PublicRes/ui"}, false);
  EXPECT_EQ(w.host.Text(IDC_PATH_PREFIX), "/proj");
  EXPECT_EQ(w.host.Text(IDC_COPY_OUTPUT), "/proj/bak");
  // The browser's text lacks the separator after the resource folder, so no resource folder is found:
  // outside the home folder the prefix is the folder's parent, or "/" where there is no home folder (the
  // Windows build, whose window reads POSIX paths here).
  w.Browse("/proj/PublicRes");
  EXPECT_EQ(w.host.Text(IDC_PATH_PREFIX), HomeFolder().empty() ? "/" : "/proj/");
  w.Browse("/empty");
  EXPECT_EQ(w.host.Text(IDC_PATH_PREFIX), "");
  EXPECT_EQ(w.host.Text(IDC_COPY_OUTPUT), "");
}

TEST(InputModes, BrowsedRootGetsASecondSeparator) {
  Window posix;
  posix.fs.AddFile("/a");
  posix.Browse("/");
  EXPECT_EQ(posix.dlg.InputPath(), "//");
  EXPECT_EQ(posix.Status(), "目录下共有1个文件.");

  Window windows(PathStyle::Windows(&GbkLeadBytes()));
  windows.fs.AddFile("D:\\a");
  windows.Browse("D:\\");
  EXPECT_EQ(windows.dlg.InputPath(), "D:\\\\");
  windows.BrowseRef("D:\\");
  EXPECT_EQ(windows.host.Lines(IDC_REF_LIST), Lines{"a"});
}

TEST(InputModes, DroppedFolderEndingInADoubleByteCharacterGetsItsSeparator) {
  // "\xB1\x5C" is one GBK character whose second byte is the backslash's value.
  Window w(PathStyle::Windows(&GbkLeadBytes()));
  w.fs.AddFile("D:\\d\xB1\x5C\\f.txt");
  w.Drop({"D:\\d\xB1\x5C"}, false);
  EXPECT_EQ(w.dlg.InputPath(), "D:\\d\xB1\x5C\\");
  EXPECT_EQ(w.Status(), "目录下共有1个文件.");
  w.Drop({"D:\\d\xB1\x5C\\"}, false);
  EXPECT_EQ(w.dlg.InputPath(), "D:\\d\xB1\x5C\\");
}

// The name a reference pick puts into the search box.
TEST(ReferenceNames, CheckBoxesPickFoldersAndExtensionOfTheSelectedFile) {
  struct Case {
    const char* refFolder;
    const char* file;  // below refFolder
    bool withDir, withExt;
    const char* name;
  };
  const Case cases[] = {
      {"/game/res", "PublicRes/ui/btn.ok.png", false, false, "btn"},
      {"/game/res", "PublicRes/ui/btn.ok.png", false, true, "btn.ok.png"},
      {"/game/res", "PublicRes/ui/btn.ok.png", true, false, "PublicRes/ui/btn"},
      {"/game/res", "PublicRes/ui/btn.ok.png", true, true, "PublicRes/ui/btn.ok.png"},
      {"/game", "art/x.png", true, false, "x"},                              // no anchor: the file name
      {"/game", "PlugApp/m/PublicRes/a.png", true, true, "PublicRes/a.png"},  // publicres wins
      {"/game", "PlugApp/m/a.png", true, false, "PlugApp/m/a"},
      {"/game", "old_publicres/a.png", true, true, "publicres/a.png"},  // the match, not a whole name
      {"/p/PublicRes/sub", "x.png", true, true, "PublicRes/sub/x.png"},  // folders the line does not show
      {"/game", "PublicRes/skin.hd/a.png", true, false, "PublicRes/skin"},
      {"/game", "README", false, false, "README"},
      {"/game", ".gitignore", false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.withDir ? " dir" : "") + (c.withExt ? " ext" : ""));
    Window w;
    w.fs.AddFile(std::string(c.refFolder) + "/" + c.file);
    w.host.SetChecked(IDC_INCLUDE_HIDDEN, true);
    w.BrowseRef(c.refFolder);
    ASSERT_EQ(w.host.Lines(IDC_REF_LIST), Lines{c.file});
    w.host.SetChecked(IDC_NAME_WITH_DIR, c.withDir);
    w.host.SetChecked(IDC_NAME_WITH_EXT, c.withExt);
    w.host.Type(IDC_SEARCH_TEXT, "before");
    w.host.Select(IDC_REF_LIST, 0);
    w.dlg.OnRefSelChange();
    EXPECT_EQ(w.host.Text(IDC_SEARCH_TEXT), c.name);
  }
}

TEST(ReferenceNames, WindowsPathsKeepTheirBackslashes) {
  Window w(PathStyle::Windows(&GbkLeadBytes()));
  w.fs.AddFile("D:\\game\\res\\PublicRes\\ui\\btn.ok.png");
  w.BrowseRef("D:\\game\\res");
  EXPECT_EQ(w.host.Lines(IDC_REF_LIST), Lines{"PublicRes\\ui\\btn.ok.png"});
  w.host.SetChecked(IDC_NAME_WITH_DIR, true);
  w.host.Select(IDC_REF_LIST, 0);
  w.dlg.OnRefSelChange();
  EXPECT_EQ(w.host.Text(IDC_SEARCH_TEXT), "PublicRes\\ui\\btn");
}

TEST(ReferenceNames, DoubleClickSearchesEvenWithoutASelection) {
  Window w;
  w.fs.AddFile("/in/a.txt", "btn here").AddFile("/in/b.txt", "nothing").AddFile("/ref/btn.png");
  w.Browse("/in");
  w.BrowseRef("/ref");
  w.host.Select(IDC_REF_LIST, 0);
  w.dlg.OnRefDblClk();
  EXPECT_EQ(w.host.Lines(IDC_RESULT_LIST), Lines{"/in/a.txt"});
  w.host.Select(IDC_REF_LIST, -1);
  w.host.Type(IDC_SEARCH_TEXT, "nothing");
  w.dlg.OnRefDblClk();
  EXPECT_EQ(w.host.Text(IDC_SEARCH_TEXT), "nothing");
  EXPECT_EQ(w.host.Lines(IDC_RESULT_LIST), Lines{"/in/b.txt"});
}

// Every early end and failure writes its text, and an early end runs no progress.
TEST(Failures, EachEarlyEndWritesItsTextAndRunsNoProgress) {
  struct Case {
    const char* name;
    std::function<void(Window&)> prepare;
    std::function<void(CKestrinDlg&)> command;
    std::string status;
  };
  const auto folder = [](Window& w) { w.Browse("/in"); };
  const auto single = [](Window& w) { w.Drop({"/in/a.txt"}, true); };
  const std::string longFolder = "/in/a.txt/" + std::string(300, 'x') + "/";
  const std::vector<Case> cases = {
      {"search, no files", [](Window&) {}, &CKestrinDlg::OnSearch, "没有文件可查找."},
      {"search, one file, no text", single, &CKestrinDlg::OnSearch, "没有字符串可进行查找."},
      {"search, one file, found",
       [&](Window& w) {
         single(w);
         w.host.Type(IDC_SEARCH_TEXT, "HELLO");
         w.host.SetChecked(IDC_IGNORE_CASE, true);
       },
       &CKestrinDlg::OnSearch, "找到字符串."},
      {"search, one file, case differs", [&](Window& w) {
         single(w);
         w.host.Type(IDC_SEARCH_TEXT, "HELLO");
       },
       &CKestrinDlg::OnSearch, "未找到字符串."},
      {"search, one missing file",
       [](Window& w) {
         w.Drop({"/gone"}, true);
         w.host.Type(IDC_SEARCH_TEXT, "x");
       }, &CKestrinDlg::OnSearch,
       "未找到字符串."},
      {"search, nothing matches", [&](Window& w) {
         folder(w);
         w.host.Type(IDC_NAME_FILTER, "zzz");
       },
       &CKestrinDlg::OnSearch, "搜索1个文件,找到0个符合条件的文件."},
      {"rename, no files", [](Window&) {}, &CKestrinDlg::OnBatchRename, "没有文件可修改."},
      {"rename, no old string", folder, &CKestrinDlg::OnBatchRename, "没有输入旧的文件名,以进行修改."},
      {"copy, no results", folder, &CKestrinDlg::OnCopyFiles, "拷贝失败, 没有可以拷贝的文件."},
      {"copy, no output folder", [&](Window& w) {
         folder(w);
         w.dlg.OnSearch();
         w.host.Type(IDC_COPY_OUTPUT, "");
       },
       &CKestrinDlg::OnCopyFiles, "拷贝失败, 没有拷贝路径."},
      {"copy, output below a file (whole path written)",
       [&](Window& w) {
         folder(w);
         w.dlg.OnSearch();
         w.host.Type(IDC_COPY_OUTPUT, "/in//a.txt/" + std::string(300, 'x'));
       },
       &CKestrinDlg::OnCopyFiles, "拷贝失败, 无法创建拷贝路径:" + longFolder + "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Window w;
    w.fs.AddFile("/in/a.txt", "hello");
    c.prepare(w);
    const std::size_t results = w.host.Lines(IDC_RESULT_LIST).size();
    w.host.log.clear();
    c.command(w.dlg);
    EXPECT_EQ(w.Status(), c.status);
    if (c.status.find("搜索") == std::string::npos) {
      EXPECT_TRUE(w.host.Only({"Range", "Pos", "Show", "Move", "Copy"}).empty());
      if (std::string(c.name).starts_with("copy")) {
        EXPECT_EQ(w.host.Lines(IDC_RESULT_LIST).size(), results);
      }
    }
  }
}

TEST(Failures, WindowsOutputFolderIsReportedNormalised) {
  Window w(PathStyle::Windows(&GbkLeadBytes()));
  w.fs.AddFile("C:\\in\\a.txt");
  w.Browse("C:\\in");
  w.dlg.OnSearch();
  w.host.Type(IDC_COPY_OUTPUT, "E:/Out//Dir");  // no drive E: on this disk
  w.dlg.OnCopyFiles();
  EXPECT_EQ(w.Status(), "拷贝失败, 无法创建拷贝路径:e:\\out\\dir\\.");
}

// Opening the output folder never makes it: a folder that is not there is reported as none, one that a
// copy made opens.
TEST(OpenCopyPath, OpensOnlyAFolderThatIsThere) {
  Window w;
  w.fs.AddFile("/file").AddFile("/in/a.txt");
  w.dlg.OnOpenCopyPath();  // empty box: nothing at all
  EXPECT_EQ(w.host.log, Lines{"GetText IDC_COPY_OUTPUT"});

  for (const char* box : {"/out//x", "/file/sub", "/file"}) {
    w.host.Type(IDC_COPY_OUTPUT, box);
    w.dlg.OnOpenCopyPath();
  }
  EXPECT_FALSE(w.fs.Exists("/out"));
  EXPECT_FALSE(w.fs.Exists("/file/sub"));
  EXPECT_TRUE(w.host.Opened().empty());
  std::vector<std::string> messages;
  for (const headless::Message& m : w.host.Messages()) messages.push_back(m.caption + " " + m.text);
  EXPECT_EQ(messages, (Lines{"提示 不是目录:/out/x/.", "提示 不是目录:/file/sub/.", "提示 不是目录:/file/."}));

  w.Browse("/in");
  w.dlg.OnSearch();
  w.host.Type(IDC_COPY_OUTPUT, "/out//x");
  w.dlg.OnCopyFiles();
  w.dlg.OnOpenCopyPath();
  EXPECT_EQ(w.host.Opened(), Lines{"/out/x/"});
  EXPECT_EQ(w.host.Messages().size(), 3u);
  EXPECT_EQ(w.Status(), "拷贝完成, 其中成功:1个, 失败:0个.");  // the open command never writes the status box
}

TEST(Browsers, EachStartsWhereItWasLastConfirmed) {
  Window w;
  w.fs.AddFile("/in/a").AddFile("/ref/b");
  w.Browse("/in");
  w.Browse(std::nullopt);  // a cancel remembers nothing
  w.BrowseRef("/ref");
  w.Browse("");  // nor does a confirmed folder without a path
  w.BrowseRef("/ref");
  EXPECT_EQ(w.host.BrowseStarts(), (Lines{"", "/in", "", "/in", "/ref"}));
}

// A folder named at start opens as if browsed to (the browser then starts there); anything else is
// reported and changes nothing.
TEST(FolderArgument, OpensAsABrowseWouldOrReports) {
  const std::pair<const char*, const char*> cases[] = {
      {"/in//", "/in/"}, {"/", "//"}, {"/in/a.txt", nullptr}, {"", nullptr}, {"D:\\", "D:\\\\"}};
  for (const auto& [argument, inputPath] : cases) {
    Window w(argument[0] == 'D' ? PathStyle::Windows() : PathStyle::Posix());
    w.fs.AddFile(argument[0] == 'D' ? "D:\\a.txt" : "/in/a.txt");
    w.dlg.OnOpenFolderArgument(argument);
    w.dlg.OnOpenInputFolder();  // cancelled
    if (inputPath) {
      EXPECT_EQ(w.host.Text(IDC_INPUT_PATH) + " " + w.Status(), std::string(inputPath) + " 目录下共有1个文件.");
      EXPECT_EQ(w.host.BrowseStarts().back() + w.style.Separator(), inputPath);
    } else {
      EXPECT_EQ(w.host.Only({"Message", "Browse", "SetText"}),
                (Lines{"Message 提示: 不是目录:" + std::string(argument) + ".", "Browse Select input folder"}));
    }
  }
}

TEST(EntryCommands, ActOnTheFullPathBehindALineAndReportWhatCannotOpen) {
  Window w;
  w.fs.AddFile("/in/sub/a.txt").AddFile("/ref/r/b.png");
  w.Browse("/in");
  w.dlg.OnSearch();
  w.BrowseRef("/ref");
  const std::tuple<int, int, EntryCommand, Lines> cases[] = {
      {IDC_RESULT_LIST, 0, EntryCommand::Open, {"Open /in/sub/a.txt"}},
      {IDC_REF_LIST, 0, EntryCommand::OpenFolder, {"Open /ref/r/"}},
      {IDC_REF_LIST, 0, EntryCommand::CopyPath, {"Clipboard /ref/r/b.png"}},
      {IDC_RESULT_LIST, 1, EntryCommand::Open, {}},
      {IDC_SEARCH_TEXT, 0, EntryCommand::Open, {}},
  };
  for (const auto& [list, index, command, log] : cases) {
    w.host.log.clear();
    EXPECT_EQ(w.dlg.OnEntryCommand(list, index, command), !log.empty());
    EXPECT_EQ(w.host.log, log) << list << " " << index;
  }
  w.host.openFails = true;
  w.host.Select(IDC_RESULT_LIST, 0);
  w.host.log.clear();
  w.dlg.OnResultDblClk();
  EXPECT_EQ(w.host.Only({"Open", "Message"}), (Lines{"Open /in/sub/a.txt", "Message 提示: 无法打开:/in/sub/a.txt."}));
}

TEST(Selections, IndicesOutsideTheFileListsAreIgnored) {
  // A window that reports a selection the lists do not have.
  struct StaleHost : RecordingHost {
    int ListCurSel(int) override { return 5; }
  };
  StaleHost host;
  MemoryFileSystem fs(PathStyle::Posix());
  fs.AddFile("/in/a.txt").AddFile("/ref/r.png");
  ScopedFileSystem use(fs);
  CKestrinDlg dlg(host, PathStyle::Posix());
  host.QueueBrowseAnswer("/in");
  dlg.OnOpenInputFolder();
  dlg.OnSearch();
  host.QueueBrowseAnswer("/ref");
  dlg.OnOpenRefFolder();
  host.SetText(IDC_SEARCH_TEXT, "kept");
  dlg.OnResultDblClk();
  dlg.OnRefSelChange();
  EXPECT_TRUE(host.Opened().empty());
  EXPECT_EQ(host.Text(IDC_SEARCH_TEXT), "kept");

  // After a rename the list box is empty while the results remain: a double-click opens nothing.
  Window w;
  w.fs.AddFile("/in/a.txt");
  w.Browse("/in");
  w.dlg.OnSearch();
  w.host.Select(IDC_RESULT_LIST, 0);
  w.dlg.OnBatchRename();
  w.dlg.OnResultDblClk();
  EXPECT_TRUE(w.host.Opened().empty());
  EXPECT_EQ(w.dlg.Results().size(), 1u);
}

TEST(Search, ExtensionBoxSkipsLeadingDots) {
  const std::pair<const char*, Lines> cases[] = {
      {"txt", {"/in/a.txt"}}, {".txt", {"/in/a.txt"}}, {"..txt", {"/in/a.txt"}},
      {"TXT", {}},            {"...", {"/in/c."}},     {"gz", {"/in/b.tar.gz"}},
  };
  for (const auto& [box, results] : cases) {
    SCOPED_TRACE(box);
    Window w;
    w.fs.AddFile("/in/a.txt").AddFile("/in/b.tar.gz").AddFile("/in/c.").AddFile("/in/d");
    w.Browse("/in");
    w.host.SetChecked(IDC_IGNORE_CASE, true);
    w.host.Type(IDC_EXT_FILTER, box);
    w.dlg.OnSearch();
    EXPECT_EQ(w.host.Lines(IDC_RESULT_LIST), results);
  }
}

// The message map and the keys: which handler a notification reaches, seen by its first call.
TEST(MessageMap, EachNotificationReachesItsHandler) {
  struct Case {
    int id;
    Notify notify;
    bool handled;
    Lines firstCalls;
  };
  const Case cases[] = {
      {IDC_OPEN_INPUT, Notify::Clicked, true, {"Browse Select input folder"}},
      {IDC_OPEN_REF, Notify::Clicked, true, {"Browse Select input folder"}},
      {IDC_RECURSIVE, Notify::Clicked, true, {"IsChecked IDC_RECURSIVE"}},
      {IDC_SEARCH, Notify::Clicked, true, {"GetText IDC_NAME_FILTER"}},
      {IDC_RENAME, Notify::Clicked, true,
       {"IsChecked IDC_RENAME_RESULTS_ONLY", "ListReset IDC_RESULT_LIST", "SetText IDC_STATUS: 没有文件可修改."}},
      {IDC_RENAME_PREVIEW, Notify::Clicked, true,
       {"IsChecked IDC_RENAME_RESULTS_ONLY", "SetText IDC_STATUS: 没有文件可修改."}},
      {IDC_PREVIEW_RUN, Notify::Clicked, false, {}},  // no preview is open
      {IDC_PREVIEW_CLOSE, Notify::Clicked, false, {}},
      {IDC_RENAME_RESULTS_ONLY, Notify::Clicked, false, {}},
      {IDC_COPY, Notify::Clicked, true, {"SetText IDC_STATUS: 拷贝失败, 没有可以拷贝的文件."}},
      {IDC_OPEN_COPY_PATH, Notify::Clicked, true, {"GetText IDC_COPY_OUTPUT"}},
      {IDC_RESULT_LIST, Notify::SelChange, true, {"ListCurSel IDC_RESULT_LIST"}},
      {IDC_MATCH_LIST, Notify::DblClk, true, {}},
      {IDC_RESULT_LIST, Notify::DblClk, true, {"ListCurSel IDC_RESULT_LIST"}},
      {IDC_REF_LIST, Notify::SelChange, true, {"ListCurSel IDC_REF_LIST"}},
      {IDC_REF_LIST, Notify::DblClk, true, {"ListCurSel IDC_REF_LIST", "GetText IDC_NAME_FILTER"}},
      {IDC_IGNORE_CASE, Notify::Clicked, false, {}},
      {IDC_INCLUDE_HIDDEN, Notify::Clicked, false, {}},
      {IDC_SEARCH, Notify::DblClk, false, {}},
      {IDC_STATUS, Notify::Clicked, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " " + std::to_string(static_cast<int>(c.notify)));
    Window w;
    EXPECT_EQ(w.dlg.OnCommand(c.id, c.notify), c.handled);
    const Lines first(w.host.log.begin(), w.host.log.begin() + std::min(w.host.log.size(), c.firstCalls.size()));
    EXPECT_EQ(first, c.firstCalls);
    if (c.firstCalls.empty()) {
      EXPECT_TRUE(w.host.log.empty());
    }
  }
}

TEST(MessageMap, EnterSearchesAndNeitherKeyReachesTheDialog) {
  const std::tuple<int, bool, bool> cases[] = {
      {kVkReturn, true, true}, {kVkEscape, true, false}, {0x09, false, false}, {'A', false, false}};
  for (const auto& [key, intercepted, searches] : cases) {
    SCOPED_TRACE(key);
    Window w;
    EXPECT_EQ(w.dlg.PreTranslateKeyDown(key), intercepted);
    EXPECT_EQ(w.Status() == "没有文件可查找.", searches);
  }
}

TEST(StartState, OnlyTheRecursiveBoxIsChecked) {
  RecordingHost host;
  CKestrinDlg dlg(host);
  EXPECT_TRUE(dlg.OnInitDialog());
  EXPECT_EQ(host.log, Lines{"SetChecked IDC_RECURSIVE 1"});
  EXPECT_FALSE(host.Visible(IDC_PROGRESS));
  EXPECT_TRUE(host.Visible(IDC_STATUS));
  EXPECT_TRUE(dlg.InputPath().empty() && dlg.RefPath().empty() && !dlg.SingleFileMode());
}

}  // namespace
}  // namespace kestrin::testing
