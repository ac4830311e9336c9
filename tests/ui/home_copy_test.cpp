// The copy defaults on the real disk, as a user without special rights: a folder in the home folder is
// copied below the home folder, where such a user can write.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_folder.h"
#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/resource_ids.h"

namespace kestrin::testing {
namespace {

constexpr uid_t kNobody = 65534;

// Browses to HOME/proj, searches everything and copies it with the proposed defaults. 0 when the boxes
// held the home defaults and every copy succeeded.
int CopyWithDefaults(const std::string& home) {
  setenv("HOME", home.c_str(), 1);
  headless::HeadlessHost host;
  CKestrinDlg dlg(host);
  dlg.OnInitDialog();
  host.QueueBrowseAnswer(home + "/proj");
  dlg.OnOpenInputFolder();
  if (host.Text(IDC_PATH_PREFIX) != home + "/" || host.Text(IDC_COPY_OUTPUT) != home + "/bak") return 1;
  dlg.OnSearch();
  dlg.OnCopyFiles();
  return host.Text(IDC_STATUS) == "拷贝完成, 其中成功:2个, 失败:0个." ? 0 : 2;
}

TEST(DefaultCopyAsUser, LandsBelowTheHomeFolder) {
  TempFolder tmp;
  const std::string home = tmp.Join("home");
  std::filesystem::create_directories(home + "/proj/sub");
  ASSERT_TRUE(WriteFile(home + "/proj/a.txt", "alpha"));
  ASSERT_TRUE(WriteFile(home + "/proj/sub/b.txt", "beta"));
  const char* savedHome = std::getenv("HOME");
  const std::string saved = savedHome ? savedHome : "";

  if (geteuid() == 0) {
    // Root writes anywhere: the copy runs in a child that has become the user nobody, who owns the home.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tmp.path())) {
      ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(chown(tmp.path().c_str(), kNobody, kNobody), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(3);
      _exit(CopyWithDefaults(home));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: other defaults, 2: copies failed, 3: could not drop privileges";
  } else {
    EXPECT_EQ(CopyWithDefaults(home), 0);
    if (savedHome) {
      setenv("HOME", saved.c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }
  EXPECT_EQ(ReadFile(home + "/bak/proj/a.txt"), "alpha");
  EXPECT_EQ(ReadFile(home + "/bak/proj/sub/b.txt"), "beta");
}

}  // namespace
}  // namespace kestrin::testing
#endif
