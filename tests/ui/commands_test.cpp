// The dialog's commands on their worker thread: what a stop leaves (state, status, controls), a window
// closed while a command runs, and the driver's start, cancel and wait.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ui/headless/script_driver.h"
#include "gate_fs.h"
#include "recording_host.h"
#include "support/memory_fs.h"
#include "support/temp_folder.h"
#include "ui/kestrin_dlg.h"
#include "ui/layout.h"
#include "ui/resource_ids.h"

namespace kestrin::testing {
namespace {

using At = GateFileSystem::At;

// Files /in/a.txt .. /in/e.txt holding "key", and /in/sub/f.txt, /ref/r1.png, /ref/sub/r2.png; and
// /one/big.bin, 4 MiB that hold "key" at their very end only.
struct Tree {
  explicit Tree(At at, std::string part) : fs(PathStyle::Posix()), gate(fs, at, std::move(part)), use(gate) {
    for (const char* name : {"a", "b", "c", "d", "e"}) fs.AddFile(std::string("/in/") + name + ".txt", "key");
    fs.AddFile("/in/sub/f.txt", "key").AddFile("/ref/r1.png").AddFile("/ref/sub/r2.png");
    fs.AddFile("/one/big.bin", std::string(std::size_t{4} << 20, 'x') + "key");
  }
  MemoryFileSystem fs;
  GateFileSystem gate;
  ScopedFileSystem use;
};

// Every control but the progress bar, with its state after a command: enabled (the undo button only
// while a batch can be undone, and these commands leave none), and buttons captioned as in the layout.
void ExpectControlsBack(const headless::HeadlessHost& host) {
  for (const ControlDef& def : KestrinControls()) {
    if (def.id < 0) continue;
    EXPECT_EQ(host.Enabled(def.id), def.id != IDC_UNDO) << def.name;
    if (def.kind == ControlKind::PushButton) {
      EXPECT_EQ(host.Text(def.id), def.caption) << def.name;
    }
  }
}

TEST(StoppedCommand, KeepsWhatItDidSaysSoAndGivesTheControlsBack) {
  struct Case {
    const char* name;
    At at;
    const char* gatePath;
    int stopButton;  // 0: none, Escape stops it
    std::function<void(headless::HeadlessHost&, CKestrinDlg&)> prepare;  // runs to completion
    std::function<void(headless::HeadlessHost&, CKestrinDlg&)> start;
    std::function<void(const Tree&, const headless::HeadlessHost&, const CKestrinDlg&)> check;
  };
  const auto browseIn = [](headless::HeadlessHost& host, CKestrinDlg& dlg) {
    host.QueueBrowseAnswer("/in");
    dlg.OnOpenInputFolder();
  };
  const auto search = [](headless::HeadlessHost& host, CKestrinDlg& dlg) {
    host.Type(IDC_SEARCH_TEXT, "key");
    dlg.OnSearch();
  };
  const Case cases[] = {
      {"browse walk", At::Enumerate, "/in/sub", IDC_OPEN_INPUT, {}, browseIn,
       [](const Tree&, const headless::HeadlessHost& host, const CKestrinDlg& dlg) {
         EXPECT_EQ(dlg.Files().size(), 5u);  // the top folder's files, listed before the stop
         EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 目录下已列出5个文件.");
       }},
      {"drop walk", At::Enumerate, "/in/sub", 0, {},
       [](headless::HeadlessHost&, CKestrinDlg& dlg) { dlg.OnDropFiles({"/in"}); },
       [](const Tree&, const headless::HeadlessHost& host, const CKestrinDlg& dlg) {
         EXPECT_EQ(dlg.Files().size(), 5u);
         EXPECT_EQ(host.Text(IDC_INPUT_PATH), "/in/");
         EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 目录下已列出5个文件.");
       }},
      {"reference walk", At::Enumerate, "/ref/sub", IDC_OPEN_REF, {},
       [](headless::HeadlessHost& host, CKestrinDlg& dlg) {
         host.QueueBrowseAnswer("/ref");
         dlg.OnOpenRefFolder();
       },
       [](const Tree&, const headless::HeadlessHost& host, const CKestrinDlg& dlg) {
         EXPECT_EQ(dlg.RefFiles().size(), 1u);
         EXPECT_EQ(host.Lines(IDC_REF_LIST), std::vector<std::string>{"r1.png"});
         EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 目录下已列出1个文件.");
       }},
      {"recursive walk", At::Enumerate, "/in/sub", 0, browseIn,
       [](headless::HeadlessHost& host, CKestrinDlg& dlg) {
         host.Toggle(IDC_RECURSIVE);
         host.Toggle(IDC_RECURSIVE);  // checked again: a full walk, stopped at the sub-folder
         dlg.OnRecursiveClicked();
       },
       [](const Tree&, const headless::HeadlessHost& host, const CKestrinDlg& dlg) {
         EXPECT_EQ(dlg.Files().size(), 5u);
         EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 目录下已列出5个文件.");
       }},
      {"search", At::Read, "/in/c.txt", IDC_SEARCH, browseIn, search,
       [](const Tree&, const headless::HeadlessHost& host, const CKestrinDlg& dlg) {
         // The stop came while c was being read. The files begun by then (a, b and c at least; more when
         // other workers had begun them) are finished, found, listed and kept, in list order; none after.
         const std::size_t found = dlg.Results().size();
         ASSERT_GE(found, 3u);
         std::vector<std::string> prefix;
         for (std::size_t i = 0; i < found; ++i) prefix.emplace_back(dlg.Files()[i]);
         EXPECT_EQ(host.Lines(IDC_RESULT_LIST), prefix);
         const std::string n = std::to_string(found);
         EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 搜索" + n + "个文件,找到" + n + "个符合条件的文件.");
         EXPECT_FALSE(host.Visible(IDC_PROGRESS));
         EXPECT_TRUE(host.Visible(IDC_STATUS));
       }},
      {"single-file search", At::Read, "/one/big.bin", IDC_SEARCH,
       [](headless::HeadlessHost& host, CKestrinDlg& dlg) {
         host.SetCtrlHeld(true);
         dlg.OnDropFiles({"/one/big.bin"});
         host.SetCtrlHeld(false);
       },
       search,
       [](const Tree&, const headless::HeadlessHost& host, const CKestrinDlg& dlg) {
         // The stop came as the file was opened: its first chunk is read, the rest (and "key") never.
         EXPECT_TRUE(dlg.SingleFileMode());
         EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 未找到字符串.");
         EXPECT_TRUE(dlg.Failures().empty());
       }},
      {"rename", At::Move, "/in/c.txt", IDC_RENAME, browseIn,
       [](headless::HeadlessHost& host, CKestrinDlg& dlg) {
         host.Type(IDC_RENAME_OLD, ".txt");
         host.Type(IDC_RENAME_NEW, ".md");
         dlg.OnBatchRename();
       },
       [](const Tree& tree, const headless::HeadlessHost& host, const CKestrinDlg& dlg) {
         // The stop came during c's rename: a, b and c renamed, d and e left as they were.
         EXPECT_TRUE(tree.fs.Exists("/in/a.md") && tree.fs.Exists("/in/b.md") && tree.fs.Exists("/in/c.md"));
         EXPECT_TRUE(tree.fs.Exists("/in/d.txt") && tree.fs.Exists("/in/e.txt"));
         EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 搜索3个文件,修改了3个符合条件的文件.");
         // The list collected again after the stop: every file, under its name now.
         EXPECT_EQ(dlg.Files().size(), 6u);
       }},
      {"copy", At::Copy, "/in/c.txt", IDC_COPY,
       [&](headless::HeadlessHost& host, CKestrinDlg& dlg) {
         browseIn(host, dlg);
         search(host, dlg);
         host.Type(IDC_PATH_PREFIX, "/");
         host.Type(IDC_COPY_OUTPUT, "/out");
       },
       [](headless::HeadlessHost&, CKestrinDlg& dlg) { dlg.OnCopyFiles(); },
       [](const Tree& tree, const headless::HeadlessHost& host, const CKestrinDlg&) {
         EXPECT_TRUE(tree.fs.Exists("/out/in/c.txt"));  // the copy under way when the stop came
         EXPECT_FALSE(tree.fs.Exists("/out/in/d.txt"));
         EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 拷贝完成, 其中成功:3个, 失败:0个.");
       }},
  };
  for (const Case& c : cases) {
    for (const bool byEscape : {false, true}) {
      if (!byEscape && c.stopButton == 0) continue;
      SCOPED_TRACE(std::string(c.name) + (byEscape ? ", Escape" : ", stop button"));
      Tree tree(c.at, c.gatePath);
      headless::HeadlessHost host;
      CKestrinDlg dlg(host, PathStyle::Posix());
      dlg.OnInitDialog();
      if (c.prepare) c.prepare(host, dlg);  // runs through: the gate is not armed yet
      tree.gate.Arm();
      host.LeaveCommandsRunning(true);
      c.start(host, dlg);
      ASSERT_TRUE(dlg.Running());
      if (c.stopButton != 0) {
        EXPECT_EQ(host.Text(c.stopButton), "停止");
        EXPECT_TRUE(host.Enabled(c.stopButton));
      }
      for (const ControlDef& def : KestrinControls()) {
        if (def.id >= 0 && def.id != c.stopButton && def.id != IDC_PROGRESS) {
          EXPECT_FALSE(host.Enabled(def.id)) << def.name;
        }
      }
      // No second command starts, by click or by Enter.
      EXPECT_FALSE(dlg.OnCommand(IDC_OPEN_COPY_PATH, Notify::Clicked));
      EXPECT_TRUE(dlg.PreTranslateKeyDown(kVkReturn));
      EXPECT_TRUE(host.Messages().empty() && host.Opened().empty());
      tree.gate.WaitReached();
      if (byEscape) {
        EXPECT_TRUE(dlg.PreTranslateKeyDown(kVkEscape));
      } else {
        EXPECT_TRUE(dlg.OnCommand(c.stopButton, Notify::Clicked));
      }
      tree.gate.Open();
      host.RunPostedUntil([&] { return !dlg.Running(); });
      c.check(tree, host, dlg);
      ExpectControlsBack(host);
    }
  }
}

// Each command's failures, with their reasons, one click on the status box away; a command that left
// none shows nothing.
TEST(FailureList, TheLastCommandsFailuresAreShownOnAClickOnTheStatusBox) {
  struct Case {
    const char* name;
    std::function<void(MemoryFileSystem&, headless::HeadlessHost&, CKestrinDlg&)> run;
    std::vector<std::string> shown;  // empty: nothing shown
  };
  const Case cases[] = {
      {"rename onto a taken name",
       [](MemoryFileSystem& fs, headless::HeadlessHost& host, CKestrinDlg& dlg) {
         fs.AddFile("/in/a.new");
         host.Type(IDC_RENAME_OLD, ".txt");
         host.Type(IDC_RENAME_NEW, ".new");
         dlg.OnBatchRename();
       },
       {"/in/a.txt: 目标已存在"}},
      {"search without failures",
       [](MemoryFileSystem&, headless::HeadlessHost& host, CKestrinDlg& dlg) {
         host.Type(IDC_SEARCH_TEXT, "key");
         dlg.OnSearch();
       },
       {}},
      {"an early end forgets the failures before it",
       [](MemoryFileSystem& fs, headless::HeadlessHost& host, CKestrinDlg& dlg) {
         fs.AddFile("/in/a.new");
         host.Type(IDC_RENAME_OLD, ".txt");
         host.Type(IDC_RENAME_NEW, ".new");
         dlg.OnBatchRename();
         dlg.OnCopyFiles();  // no results: ends at once
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem fs(PathStyle::Posix());
    fs.AddFile("/in/a.txt", "key");
    ScopedFileSystem use(fs);
    headless::HeadlessHost host;
    CKestrinDlg dlg(host, PathStyle::Posix());
    host.QueueBrowseAnswer("/in");
    dlg.OnOpenInputFolder();
    c.run(fs, host, dlg);
    EXPECT_EQ(dlg.OnCommand(IDC_STATUS, Notify::Clicked), !c.shown.empty());
    if (c.shown.empty()) {
      EXPECT_TRUE(host.FailureLists().empty());
    } else {
      EXPECT_EQ(host.FailureLists(), std::vector<std::vector<std::string>>{c.shown});
    }
  }
}

// The reference report: counts beside the reference lines, the unused reference files as the results.
TEST(RefReport, CountsEachReferenceAndListsTheUnusedOnesAsResults) {
  MemoryFileSystem fs(PathStyle::Posix());
  fs.AddFile("/in/a.txt", "uses btn and BTN").AddFile("/in/b.txt", "icon btn");
  fs.AddFile("/ref/btn.png").AddFile("/ref/icon.png").AddFile("/ref/unused.png");
  ScopedFileSystem use(fs);
  headless::HeadlessHost host;
  CKestrinDlg dlg(host, PathStyle::Posix());
  dlg.OnRefReport();
  EXPECT_EQ(host.Text(IDC_STATUS), "没有引用文件可统计.");
  host.QueueBrowseAnswer("/ref");
  dlg.OnOpenRefFolder();
  dlg.OnRefReport();
  EXPECT_EQ(host.Text(IDC_STATUS), "没有输入文件可统计引用.");
  host.QueueBrowseAnswer("/in");
  dlg.OnOpenInputFolder();
  EXPECT_TRUE(dlg.OnCommand(IDC_REF_REPORT, Notify::Clicked));
  EXPECT_EQ(host.Lines(IDC_REF_LIST), (std::vector<std::string>{"btn.png  (2)", "icon.png  (1)", "unused.png  (0)"}));
  EXPECT_EQ(host.Lines(IDC_RESULT_LIST), std::vector<std::string>{"/ref/unused.png"});
  ASSERT_EQ(dlg.Results().size(), 1u);
  EXPECT_EQ(dlg.Results()[0], "/ref/unused.png");
  EXPECT_EQ(host.Text(IDC_STATUS), "统计3个引用文件, 其中1个未被引用.");
  // A selection still takes the name from the file, not from the line with its count.
  host.Select(IDC_REF_LIST, 0);
  dlg.OnRefSelChange();
  EXPECT_EQ(host.Text(IDC_SEARCH_TEXT), "btn");
  // Without case, BTN counts too; a new walk of the reference folder drops the counts.
  host.Toggle(IDC_IGNORE_CASE);
  dlg.OnRefReport();
  EXPECT_EQ(host.Lines(IDC_REF_LIST)[0], "btn.png  (2)");
  host.QueueBrowseAnswer("/ref");
  dlg.OnOpenRefFolder();
  EXPECT_EQ(host.Lines(IDC_REF_LIST)[0], "btn.png");
}

TEST(ClosedWindow, StopsTheRunningCommandWaitsForItAndShowsNothingMore) {
  Tree tree(At::Copy, "/in/c.txt");
  headless::HeadlessHost host;
  CKestrinDlg dlg(host, PathStyle::Posix());
  host.QueueBrowseAnswer("/in");
  dlg.OnOpenInputFolder();
  dlg.OnSearch();
  host.Type(IDC_COPY_OUTPUT, "/out");
  const std::string status = host.Text(IDC_STATUS);
  tree.gate.Arm();
  host.LeaveCommandsRunning(true);
  dlg.OnCopyFiles();
  tree.gate.WaitReached();
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    tree.gate.Open();
  });
  dlg.Shutdown();  // returns once the worker has ended
  opener.join();
  EXPECT_FALSE(dlg.Running());
  EXPECT_FALSE(tree.fs.Exists("/out/in/d.txt"));
  host.RunPostedUntil([] { return true; });  // what the worker had still posted is dropped
  EXPECT_EQ(host.Text(IDC_STATUS), status);
  EXPECT_FALSE(host.Enabled(IDC_OPEN_INPUT));
}

using Lines = std::vector<std::string>;

// Starts a command and stops it (Escape) once its worker has reached the gate, then runs the window until
// the command has ended.
void StopAtTheGate(GateFileSystem& gate, headless::HeadlessHost& host, CKestrinDlg& dlg,
                   const std::function<void()>& start) {
  gate.Arm();
  host.LeaveCommandsRunning(true);
  start();
  host.LeaveCommandsRunning(false);
  ASSERT_TRUE(dlg.Running());
  gate.WaitReached();
  EXPECT_TRUE(dlg.PreTranslateKeyDown(kVkEscape));
  gate.Open();
  host.RunPostedUntil([&] { return !dlg.Running(); });
}

std::string Numbered(int i) {
  std::string digits = std::to_string(i);
  return std::string(5 - std::min<std::size_t>(5, digits.size()), '0') + digits;
}

// A search stopped a moment in ends early: it lists a strict prefix of what the whole search lists, and
// says it was stopped. (A search that went on to the end after the stop would list every result.)
// 3,000 files /in/00000.txt... (their content by number) as the input folder, the reads held at the 31st.
struct GatedInput {
  explicit GatedInput(const std::function<std::string(int)>& content) {
    for (int i = 0; i < 3000; ++i) fs.AddFile("/in/" + Numbered(i) + ".txt", content(i));
  }
  void Open() {
    host.QueueBrowseAnswer("/in");
    dlg.OnOpenInputFolder();
  }
  MemoryFileSystem fs{PathStyle::Posix()};
  GateFileSystem gate{fs, At::Read, "/in/00030.txt"};
  ScopedFileSystem use{gate};
  headless::HeadlessHost host;
  CKestrinDlg dlg{host, PathStyle::Posix()};
};

TEST(StoppedSearch, ListsAStrictPrefixOfTheFullResults) {
  GatedInput in([](int i) { return i % 3 == 0 ? "a key" : "none"; });
  in.Open();
  headless::HeadlessHost& host = in.host;
  CKestrinDlg& dlg = in.dlg;
  GateFileSystem& gate = in.gate;
  host.Type(IDC_SEARCH_TEXT, "key");
  dlg.OnSearch();
  const Lines full = host.Lines(IDC_RESULT_LIST);
  ASSERT_EQ(full.size(), 1000u);

  StopAtTheGate(gate, host, dlg, [&] { dlg.OnSearch(); });
  const Lines listed = host.Lines(IDC_RESULT_LIST);
  EXPECT_GE(listed.size(), 10u);  // the files before the gate at least
  EXPECT_LT(listed.size(), full.size());
  EXPECT_EQ(listed, Lines(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(std::min(listed.size(), full.size()))));
  ASSERT_EQ(dlg.Results().size(), listed.size());
  for (std::size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(dlg.Results()[i], listed[i]);
  EXPECT_TRUE(host.Text(IDC_STATUS).starts_with("已停止, 搜索")) << host.Text(IDC_STATUS);
}

// A stopped reference report changes no list: no counts beside the reference lines, the results as they
// were, and a status that says it was stopped.
TEST(StoppedRefReport, ChangesNoList) {
  GatedInput in([](int i) { return i % 2 == 0 ? "btn" : "icon"; });
  in.fs.AddFile("/ref/btn.png").AddFile("/ref/icon.png").AddFile("/ref/unused.png");
  in.Open();
  headless::HeadlessHost& host = in.host;
  CKestrinDlg& dlg = in.dlg;
  GateFileSystem& gate = in.gate;
  host.QueueBrowseAnswer("/ref");
  dlg.OnOpenRefFolder();
  host.Type(IDC_SEARCH_TEXT, "icon");
  dlg.OnSearch();
  const Lines refLines = host.Lines(IDC_REF_LIST);
  const Lines results = host.Lines(IDC_RESULT_LIST);
  ASSERT_EQ(refLines, (Lines{"btn.png", "icon.png", "unused.png"}));
  ASSERT_EQ(results.size(), 1500u);

  StopAtTheGate(gate, host, dlg, [&] { dlg.OnRefReport(); });
  EXPECT_EQ(host.Lines(IDC_REF_LIST), refLines);
  EXPECT_EQ(host.Lines(IDC_RESULT_LIST), results);
  EXPECT_EQ(dlg.Results().size(), results.size());
  EXPECT_EQ(host.Text(IDC_STATUS), "已停止, 统计引用未完成.");
  EXPECT_FALSE(host.Visible(IDC_PROGRESS));
}

// On real folders: the files of a rename, each with "_old" in its name, some in a sub-folder.
struct RenameTree {
  explicit RenameTree(int files) {
    for (int i = 0; i < files; ++i) {
      const std::string name = (i % 4 == 0 ? "in/sub/f" : "in/f") + Numbered(i) + "_old.txt";
      if (i == 0) std::filesystem::create_directories(tmp.Join("in/sub"));
      EXPECT_TRUE(WriteFile(tmp.Join(name), "x"));
    }
  }
  // Files below the input folder whose name holds text.
  int Named(const std::string& text) const {
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tmp.Join("in"))) {
      if (entry.is_regular_file() && entry.path().filename().string().find(text) != std::string::npos) ++count;
    }
    return count;
  }
  TempFolder tmp;
};

void PrepareRename(const RenameTree& tree, headless::HeadlessHost& host, CKestrinDlg& dlg) {
  dlg.OnInitDialog();  // recursive
  host.QueueBrowseAnswer(tree.tmp.Join("in"));
  dlg.OnOpenInputFolder();
  host.Type(IDC_RENAME_OLD, "_old");
  host.Type(IDC_RENAME_NEW, "_new");
}

// The folder collected again after a rename is part of the rename: a stop (two, here) while it is
// collected stops nothing; the status keeps the rename's summary and the list holds every file.
TEST(RenameOnRealFolders, AStopWhileTheFolderIsCollectedAgainKeepsTheSummaryAndTheList) {
  RenameTree tree(40);
  GateFileSystem gate(NativeFileSystem(), At::Enumerate, tree.tmp.Join("in"));
  ScopedFileSystem use(gate);
  headless::HeadlessHost host;
  CKestrinDlg dlg(host);
  PrepareRename(tree, host, dlg);
  ASSERT_EQ(dlg.Files().size(), 40u);
  // The rename lists no folder: the gate holds the collection that follows its last file.
  gate.Arm();
  host.LeaveCommandsRunning(true);
  dlg.OnBatchRename();
  host.LeaveCommandsRunning(false);
  gate.WaitReached();
  EXPECT_TRUE(dlg.PreTranslateKeyDown(kVkEscape));
  EXPECT_TRUE(dlg.OnCommand(IDC_RENAME, Notify::Clicked));
  gate.Open();
  host.RunPostedUntil([&] { return !dlg.Running(); });
  EXPECT_EQ(host.Text(IDC_STATUS), "搜索40个文件,修改了40个符合条件的文件.");
  EXPECT_EQ(tree.Named("_new"), 40);
  ASSERT_EQ(dlg.Files().size(), 40u);
  for (std::size_t i = 0; i < dlg.Files().size(); ++i) EXPECT_NE(dlg.Files()[i].find("_new"), std::string::npos);
  ExpectControlsBack(host);
}

// Stops at random moments of a rename: whenever the stop comes, the list holds every file under its name
// now, and the status is the rename's summary (stopped or not), its counts those of the disk.
TEST(RenameOnRealFolders, RandomStopsKeepTheListAndTheSummary) {
  std::mt19937 random(2026);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    RenameTree tree(150);
    headless::HeadlessHost host;
    CKestrinDlg dlg(host);
    PrepareRename(tree, host, dlg);
    host.LeaveCommandsRunning(true);
    dlg.OnBatchRename();
    host.LeaveCommandsRunning(false);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
    dlg.PreTranslateKeyDown(kVkEscape);
    host.RunPostedUntil([&] { return !dlg.Running(); });
    const int renamed = tree.Named("_new");
    EXPECT_EQ(renamed + tree.Named("_old"), 150);
    EXPECT_EQ(dlg.Files().size(), 150u);
    const std::string n = std::to_string(renamed);
    const std::string status = host.Text(IDC_STATUS);
    if (renamed == 150) {
      EXPECT_TRUE(status == "搜索150个文件,修改了150个符合条件的文件." ||
                  status == "已停止, 搜索150个文件,修改了150个符合条件的文件.") << status;
    } else {
      EXPECT_EQ(status, "已停止, 搜索" + n + "个文件,修改了" + n + "个符合条件的文件.");
    }
  }
}

std::string Drive(const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out, err;
  EXPECT_EQ(headless::RunScript(in, out, err), 0) << err.str();
  return out.str();
}

TEST(DriverCommands, StartLeavesTheCommandRunningUntilWait) {
  // The driver takes paths in the native style: "/in" here, "C:\in" on Windows.
  const PathStyle& style = NativePathStyle();
  const std::string in = std::string(style.windows ? "C:" : "") + style.Separator() + "in";
  const std::string a = in + style.Separator() + "a.txt";
  MemoryFileSystem fs(style);
  fs.AddFile(a, "key").AddFile(in + style.Separator() + "b.txt", "none");
  ScopedFileSystem use(fs);
  // The worker's outcome reaches the window only when the window thread runs it: at wait.
  const std::string out = Drive(
      "browse-input " + in + "\nset IDC_SEARCH_TEXT key\nstart click IDC_SEARCH\ndump\nwait\ndump\n"
      "start key enter\nwait\nstart browse-input " + in + "\nwait\ndump\n");
  const std::string first = out.substr(0, out.find("end\n") + 4);
  const std::string second = out.substr(first.size(), out.find("end\n", first.size()) + 4 - first.size());
  const std::string third = out.substr(first.size() + second.size());
  EXPECT_NE(first.find("running: 1\n"), std::string::npos);
  EXPECT_NE(first.find("enabled IDC_SEARCH: 1\n"), std::string::npos);
  EXPECT_NE(first.find("enabled IDC_OPEN_INPUT: 0\n"), std::string::npos);
  EXPECT_NE(first.find("shown IDC_PROGRESS: 1\n"), std::string::npos);
  EXPECT_EQ(first.find("list IDC_RESULT_LIST"), std::string::npos);
  EXPECT_NE(second.find("running: 0\n"), std::string::npos);
  EXPECT_NE(second.find("enabled IDC_OPEN_INPUT: 1\n"), std::string::npos);
  EXPECT_NE(second.find("list IDC_RESULT_LIST[0]: " + a + "\n"), std::string::npos);
  EXPECT_NE(second.find("text IDC_STATUS: 搜索2个文件,找到1个符合条件的文件.\n"), std::string::npos);
  EXPECT_NE(third.find("text IDC_STATUS: 目录下共有2个文件.\n"), std::string::npos);
  EXPECT_NE(third.find("running: 0\n"), std::string::npos);
}

TEST(DriverCommands, CancelAndWaitWithoutACommandChangeNothing) {
  const std::string plain = Drive("dump\n");
  EXPECT_EQ(Drive("cancel\nwait\ndump\n"), plain);
  std::istringstream in("start\n");
  std::ostringstream out, err;
  EXPECT_EQ(headless::RunScript(in, out, err), 2);  // start needs a command line
}

}  // namespace
}  // namespace kestrin::testing
