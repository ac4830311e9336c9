// A copy with the proposed defaults by a user without special rights lands below the home folder.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_folder.h"
#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/resource_ids.h"

namespace kestrin::testing {
namespace {

// Root writes anywhere, so as root the copy runs in a child that has become nobody, owner of the home.
TEST(DefaultCopyAsUser, LandsBelowTheHomeFolder) {
  TempFolder tmp;
  const std::string home = tmp.Join("home");
  std::filesystem::create_directories(home + "/proj/sub");
  WriteFile(home + "/proj/sub/b.txt", "beta");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tmp.path())) {
      if (geteuid() == 0 && lchown(entry.path().c_str(), 65534, 65534) != 0) _exit(3);
    }
    if (geteuid() == 0 && (chown(tmp.path().c_str(), 65534, 65534) != 0 || setgroups(0, nullptr) != 0 ||
                           setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(3);
    }
    setenv("HOME", home.c_str(), 1);
    headless::HeadlessHost host;
    CKestrinDlg dlg(host);
    dlg.OnInitDialog();
    host.QueueBrowseAnswer(home + "/proj");
    dlg.OnOpenInputFolder();
    if (host.Text(IDC_COPY_OUTPUT) != home + "/bak") _exit(1);
    dlg.OnSearch();
    dlg.OnCopyFiles();
    const bool copied = host.Text(IDC_STATUS) == "拷贝完成, 其中成功:1个, 失败:0个.";
    dlg.Shutdown();  // _exit runs no destructor: the worker is joined here
    _exit(copied ? 0 : 2);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "exit 1: other defaults, 2: the copy failed, 3: could not become nobody";
  EXPECT_EQ(ReadFile(home + "/bak/proj/sub/b.txt"), "beta");
}

}  // namespace
}  // namespace kestrin::testing
#endif
