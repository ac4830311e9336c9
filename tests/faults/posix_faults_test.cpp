// Faults the operating system itself injects, on POSIX systems: a copy cut off by the file-size limit
// half-way through writing (as a full disk would), and a FIFO put in the place of a listed file. No test
// double decides the outcome here: the native file system must leave no truncated target and never block.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "faults/fault_fixture.h"
#include "ui/texts.h"

namespace kestrin::faults {
namespace {

// Lowers the limit on the size of files this process writes; restored when it goes away. Writing past
// the limit then fails with EFBIG (the signal it would raise is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previousHandler_);
  }
  bool active() const { return active_; }

 private:
  rlimit saved_{};
  sighandler_t previousHandler_ = SIG_DFL;
  bool active_ = false;
};

TEST_F(FaultTest, CopyCutOffWhileWritingLeavesTheOlderCopyAndNoPartialFile) {
  std::string big(3 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 % 251);
  Make("in/big.bin", big);
  Make("in/small.txt", "small");
  Make("out/big.bin", "older copy");
  const Tree sources = ReadTree(Folder("in"));
  DropInput("in");
  dialog_.OnSearch();
  host_.Type(IDC_PATH_PREFIX, Folder("in"));
  host_.Type(IDC_COPY_OUTPUT, Folder("out"));
  {
    FileSizeLimit limit(1 << 20);
    ASSERT_TRUE(limit.active());
    dialog_.OnCopyFiles();
  }
  EXPECT_EQ(Status(), Fill(text::kCopySummary, {"1", "1"}));
  // Hidden temporary files are listed too: none may be left behind.
  ExpectTree("out", {{"big.bin", "older copy"}, {"small.txt", "small"}});
  ExpectTree("in", sources);

  // Without the limit the same command replaces the older copy whole.
  dialog_.OnCopyFiles();
  EXPECT_EQ(Status(), Fill(text::kCopySummary, {"2", "0"}));
  ExpectTree("out", sources);
}

TEST_F(FaultTest, FifoInPlaceOfAListedFileNeverBlocksAndIsNeverCopied) {
  Make("in/a.txt", "needle");
  Make("in/pipe.txt", "needle");
  DropInput("in");
  dialog_.OnSearch();  // every file a result
  std::filesystem::remove(Folder("in/pipe.txt"));
  ASSERT_EQ(mkfifo(Folder("in/pipe.txt").c_str(), 0600), 0);

  // A writer never comes: reading the FIFO as a file would wait for ever.
  host_.Type(IDC_PATH_PREFIX, Folder("in"));
  host_.Type(IDC_COPY_OUTPUT, Folder("out"));
  dialog_.OnCopyFiles();
  EXPECT_EQ(Status(), Fill(text::kCopySummary, {"1", "1"}));
  host_.Type(IDC_SEARCH_TEXT, "needle");
  dialog_.OnSearch();
  EXPECT_EQ(Status(), Fill(text::kSearchSummary, {"2", "1"}));
  host_.SetCtrlHeld(true);
  dialog_.OnDropFiles({Folder("in/pipe.txt")});
  dialog_.OnSearch();
  EXPECT_EQ(Status(), text::kStringNotFound);

  struct stat st {};
  ASSERT_EQ(lstat(Folder("in/pipe.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ExpectTree("out", {{"a.txt", "needle"}});
}

}  // namespace
}  // namespace kestrin::faults
