// The undo button on a headless window over real folders: enabled while a batch of the window's can be
// taken back, its tooltip naming the batch; a click takes the newest back as a command, lists the steps it
// could not take back, and collects the input folder anew.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "state_folder.h"
#include "platform/user_folders.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/resource_ids.h"

namespace kestrin::testing {
namespace {

bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::path(path)); }

TEST(UndoButton, TakesTheNewestBatchBackAndNamesWhatItCouldNot) {
  TempFolder tmp;
  const ScopedStateFolder state(tmp.Join("state"));
  if (StateFolder().empty()) GTEST_SKIP() << "this platform keeps no undo journals";
  std::filesystem::create_directories(std::filesystem::path(tmp.Join("in")));
  ASSERT_TRUE(WriteFile(tmp.Join("in/a_old.txt"), "A") && WriteFile(tmp.Join("in/b_old.txt"), "B") &&
              WriteFile(tmp.Join("in/c.txt"), "C"));
  headless::HeadlessHost host;
  CKestrinDlg dlg(host);
  dlg.OnInitDialog();
  EXPECT_FALSE(host.Enabled(IDC_UNDO));
  EXPECT_EQ(host.ToolTip(IDC_UNDO), "");

  host.QueueBrowseAnswer(tmp.Join("in"));
  dlg.OnOpenInputFolder();
  EXPECT_FALSE(host.Enabled(IDC_UNDO)) << "a walk is no batch";
  host.Type(IDC_RENAME_OLD, "_old");
  host.Type(IDC_RENAME_NEW, "_new");
  dlg.OnBatchRename();
  ASSERT_TRUE(Exists(tmp.Join("in/a_new.txt")));
  EXPECT_TRUE(host.Enabled(IDC_UNDO));
  const std::string tip = host.ToolTip(IDC_UNDO);
  EXPECT_TRUE(std::regex_match(tip, std::regex("撤销修改2个文件名, [0-9][0-9]:[0-9][0-9]"))) << tip;

  // A file put where a renamed one was stays; its step is named, the other is taken back.
  ASSERT_TRUE(WriteFile(tmp.Join("in/a_old.txt"), "new A"));
  EXPECT_TRUE(dlg.OnCommand(IDC_UNDO, Notify::Clicked));
  EXPECT_EQ(host.Text(IDC_STATUS), "撤销完成, 恢复了1个文件, 1个无法恢复.");
  EXPECT_EQ(ReadFile(tmp.Join("in/a_old.txt")), "new A");
  EXPECT_EQ(ReadFile(tmp.Join("in/a_new.txt")), "A");
  EXPECT_EQ(ReadFile(tmp.Join("in/b_old.txt")), "B");
  ASSERT_EQ(dlg.FailureLines().size(), 1u);
  EXPECT_EQ(dlg.FailureLines()[0].path, tmp.Join("in/a_new.txt"));
  EXPECT_TRUE(host.Visible(IDC_FAILURES));
  // The input list was collected anew; the batch, not all back, is still offered.
  bool listed = false;
  for (std::size_t i = 0; i < dlg.Files().size(); ++i) listed = listed || dlg.Files()[i] == tmp.Join("in/b_old.txt");
  EXPECT_TRUE(listed);
  EXPECT_TRUE(host.Enabled(IDC_UNDO));
  EXPECT_EQ(host.ToolTip(IDC_UNDO), tip);

  // With the way clear, the rest goes back, and nothing is left to offer.
  ASSERT_TRUE(std::filesystem::remove(std::filesystem::path(tmp.Join("in/a_old.txt"))));
  dlg.OnUndo();
  EXPECT_EQ(host.Text(IDC_STATUS), "撤销完成, 恢复了1个文件, 0个无法恢复.");
  EXPECT_EQ(ReadFile(tmp.Join("in/a_old.txt")), "A");
  EXPECT_FALSE(Exists(tmp.Join("in/a_new.txt")));
  EXPECT_FALSE(host.Visible(IDC_FAILURES));
  EXPECT_FALSE(host.Enabled(IDC_UNDO));
  EXPECT_EQ(host.ToolTip(IDC_UNDO), "");
  dlg.OnUndo();
  EXPECT_EQ(host.Text(IDC_STATUS), "没有可撤销的批次.");
}

// A copy is a batch too, named as one; a window that starts finds the batch an earlier one left.
TEST(UndoButton, ACopyIsOfferedAndAWindowThatStartsFindsTheBatchLeft) {
  TempFolder tmp;
  const ScopedStateFolder state(tmp.Join("state"));
  if (StateFolder().empty()) GTEST_SKIP() << "this platform keeps no undo journals";
  std::filesystem::create_directories(std::filesystem::path(tmp.Join("in")));
  ASSERT_TRUE(WriteFile(tmp.Join("in/a.txt"), "A"));
  {
    headless::HeadlessHost host;
    CKestrinDlg dlg(host);
    dlg.OnInitDialog();
    host.QueueBrowseAnswer(tmp.Join("in"));
    dlg.OnOpenInputFolder();
    dlg.OnSearch();
    host.Type(IDC_PATH_PREFIX, tmp.Join(""));
    host.Type(IDC_COPY_OUTPUT, tmp.Join("out"));
    dlg.OnCopyFiles();
    ASSERT_EQ(ReadFile(tmp.Join("out/in/a.txt")), "A");
  }
  headless::HeadlessHost host(UiLanguage::English);
  CKestrinDlg dlg(host);
  dlg.OnInitDialog();
  EXPECT_TRUE(host.Enabled(IDC_UNDO));
  EXPECT_TRUE(std::regex_match(host.ToolTip(IDC_UNDO), std::regex("copy of 1 files, [0-9][0-9]:[0-9][0-9]")))
      << host.ToolTip(IDC_UNDO);
  dlg.OnUndo();
  EXPECT_EQ(host.Text(IDC_STATUS), "Undo done, 1 files taken back, 0 could not be.");
  EXPECT_FALSE(Exists(tmp.Join("out/in/a.txt")));
  EXPECT_EQ(ReadFile(tmp.Join("in/a.txt")), "A");
}

// A stop ends the undo between two files: what went back stays back, the status says it stopped, and the
// batch is still offered; the next undo takes the rest back.
TEST(UndoButton, AStoppedUndoKeepsWhatWentBackAndOffersTheRest) {
  TempFolder tmp;
  const ScopedStateFolder state(tmp.Join("state"));
  if (StateFolder().empty()) GTEST_SKIP() << "this platform keeps no undo journals";
  std::filesystem::create_directories(std::filesystem::path(tmp.Join("in")));
  constexpr int kFiles = 2000;
  for (int i = 0; i < kFiles; ++i) ASSERT_TRUE(WriteFile(tmp.Join("in/f" + std::to_string(i) + "_old.txt"), "x"));
  headless::HeadlessHost host;
  CKestrinDlg dlg(host);
  dlg.OnInitDialog();
  host.QueueBrowseAnswer(tmp.Join("in"));
  dlg.OnOpenInputFolder();
  host.Type(IDC_RENAME_OLD, "_old");
  host.Type(IDC_RENAME_NEW, "_new");
  dlg.OnBatchRename();
  ASSERT_TRUE(host.Enabled(IDC_UNDO));

  host.LeaveCommandsRunning(true);
  dlg.OnUndo();
  host.LeaveCommandsRunning(false);
  EXPECT_EQ(host.Text(IDC_UNDO), "停止");
  EXPECT_TRUE(dlg.OnCommand(IDC_UNDO, Notify::Clicked));
  host.RunPostedUntil([&] { return !dlg.Running(); });
  EXPECT_TRUE(host.Text(IDC_STATUS).starts_with("已停止, 撤销完成, 恢复了")) << host.Text(IDC_STATUS);
  EXPECT_EQ(host.Text(IDC_UNDO), "撤销");
  EXPECT_TRUE(host.Enabled(IDC_UNDO));

  dlg.OnUndo();
  EXPECT_TRUE(host.Text(IDC_STATUS).ends_with(", 0个无法恢复.")) << host.Text(IDC_STATUS);
  for (int i = 0; i < kFiles; ++i) EXPECT_TRUE(Exists(tmp.Join("in/f" + std::to_string(i) + "_old.txt"))) << i;
  EXPECT_FALSE(host.Enabled(IDC_UNDO));
}

}  // namespace
}  // namespace kestrin::testing
