// Long checks at scale, outside the quick test run (bench/scale.sh builds and runs them, each in its own
// process so that its peak memory is its own): a tree of 200,000 files walked and searched through the
// dialog, a 4 GiB sparse file searched, a folder link cycle, and paths at the platform's limit. Each prints
// its figures as "figure: name = value" lines.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "faults/fault_fixture.h"
#include "fileops/copy.h"
#include "primitives/fs_query.h"
#include "search/search.h"
#include "search/walk.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/resource_ids.h"
#include "ui/texts.h"

namespace kestrin {
namespace {

namespace stdfs = std::filesystem;

void Figure(const char* name, double value, const char* unit) {
  std::printf("figure: %s = %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Resident memory now, and at its peak so far, in bytes.
std::size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0;
  std::size_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}
std::size_t PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

bool WriteSmallFile(const std::string& path, std::string_view content) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  return (close(fd) == 0) && ok;
}

// A window that also watches the progress bar: every position set, in order.
class ProgressWatchingHost : public headless::HeadlessHost {
 public:
  void SetProgressPos(int position) override {
    monotonic = monotonic && position >= last;
    last = position;
    ++calls;
    if (position > 32767) ++past16Bits;
    HeadlessHost::SetProgressPos(position);
  }
  int last = -1;
  bool monotonic = true;
  std::size_t calls = 0;
  std::size_t past16Bits = 0;
};

using faults::Fill;

TEST(Scale, TwoHundredThousandFilesAreWalkedAndSearched) {
  constexpr std::size_t kFolders = 400;
  constexpr std::size_t kPerFolder = 500;
  constexpr std::size_t kFiles = kFolders * kPerFolder;
  testing::TempFolder tmp;
  const std::string root = tmp.Join("tree") + "/";
  stdfs::create_directory(root);
  auto start = std::chrono::steady_clock::now();
  std::size_t withNeedle = 0;
  for (std::size_t f = 0; f < kFolders; ++f) {
    // Two levels: twenty groups of twenty folders.
    const std::string folder = root + "g" + std::to_string(f / 20) + "/d" + std::to_string(f) + "/";
    stdfs::create_directories(folder);
    for (std::size_t i = 0; i < kPerFolder; ++i) {
      const bool needle = (f * kPerFolder + i) % 97 == 0;
      withNeedle += needle ? 1 : 0;
      const std::string content = "file " + std::to_string(i) + (needle ? " holds the Needle\n" : " is plain\n");
      ASSERT_TRUE(WriteSmallFile(folder + "file_" + std::to_string(i) + ".txt", content));
    }
  }
  Figure("tree.generate", SecondsSince(start), "s");

  // The walk alone: memory grows with the list, not with anything else.
  const std::size_t before = ResidentBytes();
  start = std::chrono::steady_clock::now();
  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, root, files, true, false);
  const double walkSeconds = SecondsSince(start);
  const std::size_t grown = ResidentBytes() - std::min(before, ResidentBytes());
  ASSERT_EQ(files.size(), kFiles);
  const std::size_t listBytes = files.bytes() + files.size() * (sizeof(std::size_t) + 1);
  Figure("tree.walk", walkSeconds, "s");
  Figure("tree.list_bytes", static_cast<double>(listBytes) / (1 << 20), "MiB");
  Figure("tree.walk_rss_growth", static_cast<double>(grown) / (1 << 20), "MiB");
  // Growing vectors may hold up to twice what they use, and the allocator keeps some slack.
  EXPECT_LT(grown, 3 * listBytes + (16u << 20));

  // The content search alone.
  SearchFilters filters;
  filters.content = "needle";
  filters.ignoreCase = true;
  start = std::chrono::steady_clock::now();
  const FileList found = FilterFiles(CommandEnv{NativeFileSystem()}, files, filters);
  Figure("tree.content_search", SecondsSince(start), "s");
  EXPECT_EQ(found.size(), withNeedle);

  // Through the dialog: the count, the progress bar right past 32,767, the summary.
  ProgressWatchingHost host;
  CKestrinDlg dialog(host);
  dialog.OnInitDialog();
  start = std::chrono::steady_clock::now();
  dialog.OnDropFiles({root});
  Figure("tree.dialog_drop", SecondsSince(start), "s");
  EXPECT_EQ(host.Text(IDC_STATUS), Fill(text::kFolderFileCount, {std::to_string(kFiles)}));
  host.Type(IDC_SEARCH_TEXT, "Needle");
  host.Type(IDC_EXT_FILTER, ".txt");
  start = std::chrono::steady_clock::now();
  dialog.OnSearch();
  Figure("tree.dialog_search", SecondsSince(start), "s");
  EXPECT_EQ(host.Text(IDC_STATUS),
            Fill(text::kSearchSummary, {std::to_string(kFiles), std::to_string(withNeedle)}));
  EXPECT_EQ(host.Lines(IDC_RESULT_LIST).size(), withNeedle);
  EXPECT_EQ(host.ProgressLower(), 0);
  EXPECT_EQ(host.ProgressUpper(), static_cast<int>(kFiles - 1));
  EXPECT_EQ(host.last, static_cast<int>(kFiles - 1));
  EXPECT_TRUE(host.monotonic);
  EXPECT_EQ(host.calls, kFiles + 1);  // position 0 when the run starts, then once per file
  EXPECT_EQ(host.past16Bits, kFiles - 32768);
  Figure("tree.peak_rss", static_cast<double>(PeakResidentBytes()) / (1 << 20), "MiB");
}

TEST(Scale, FourGiBSparseFileIsSearchedWithoutHoldingIt) {
  testing::TempFolder tmp;
  const std::string path = tmp.Join("sparse.bin");
  const std::uint64_t size = std::uint64_t{4} << 30;
  {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    // The only bytes that are not zero: a pattern just before the end, straddling no page on purpose.
    const std::string tail = "the needle at the end";
    ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(size - 100)), static_cast<ssize_t>(tail.size()));
    ASSERT_EQ(close(fd), 0);
  }
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  Figure("sparse.allocated", static_cast<double>(st.st_blocks) * 512 / (1 << 20), "MiB on disk");

  const std::size_t peakBefore = PeakResidentBytes();
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(FileContains(CommandEnv{NativeFileSystem()}, path, "NEEDLE", true));
  const double seconds = SecondsSince(start);
  Figure("sparse.search_found", seconds, "s");
  Figure("sparse.throughput", static_cast<double>(size) / seconds / 1e9, "GB/s");
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(FileContains(CommandEnv{NativeFileSystem()}, path, "absent", false));
  Figure("sparse.search_absent", SecondsSince(start), "s");

  // Single-file mode of the dialog on the same file.
  headless::HeadlessHost host;
  CKestrinDlg dialog(host);
  host.SetCtrlHeld(true);
  dialog.OnDropFiles({path});
  host.Type(IDC_SEARCH_TEXT, "needle at the end");
  dialog.OnSearch();
  EXPECT_EQ(host.Text(IDC_STATUS), text::kStringFound);

  const std::size_t peak = PeakResidentBytes();
  Figure("sparse.peak_rss", static_cast<double>(peak) / (1 << 20), "MiB");
  Figure("sparse.peak_rss_growth", static_cast<double>(peak - std::min(peak, peakBefore)) / (1 << 20), "MiB");
  // Far below the file: the content is never held whole.
  EXPECT_LT(peak, std::size_t{256} << 20);
}

TEST(Scale, FolderLinkCycleEnds) {
  testing::TempFolder tmp;
  const std::string root = tmp.Join("cycle") + "/";
  stdfs::create_directories(root + "a/b");
  ASSERT_TRUE(WriteSmallFile(root + "top.txt", "x"));
  ASSERT_TRUE(WriteSmallFile(root + "a/one.txt", "x"));
  ASSERT_TRUE(WriteSmallFile(root + "a/b/two.txt", "x"));
  stdfs::create_directory_symlink(root + "a", root + "a/b/up");  // back to a parent
  stdfs::create_directory_symlink(root, root + "a/b/top");       // back to the top
  stdfs::create_directory_symlink("b", root + "a/self");         // a sibling: entered once through it

  auto start = std::chrono::steady_clock::now();
  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, root, files, true, true);
  Figure("cycle.walk", SecondsSince(start), "s");
  std::vector<std::string> listed;
  for (std::size_t i = 0; i < files.size(); ++i) listed.emplace_back(files[i].substr(root.size()));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"a/b/two.txt", "a/one.txt", "a/self/two.txt", "top.txt"}));
}

// Makes a chain of folders below base whose full path reaches exactly length bytes (without the
// trailing separator), working relative to each folder so that no call sees a path past the limit.
std::string DeepFolder(const std::string& base, std::size_t length) {
  std::string path = base;
  int dir = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  while (path.size() < length) {
    const std::size_t room = length - path.size() - 1;  // bytes left for the next name
    const std::string name(std::min<std::size_t>(room, 200), 'd');
    if (name.empty()) break;
    mkdirat(dir, name.c_str(), 0755);
    const int next = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(dir);
    dir = next;
    path += "/" + name;
  }
  close(dir);
  return path;
}

void MakeFileBelow(const std::string& folderPath, const std::string& base, const std::string& name) {
  // Descend from base relative step by step (the full path may exceed the limit).
  int dir = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::string rest = folderPath.substr(base.size());
  std::size_t at = 0;
  while (at < rest.size()) {
    const std::size_t next = rest.find('/', at + 1);
    const std::string part = rest.substr(at + 1, (next == std::string::npos ? rest.size() : next) - at - 1);
    const int child = openat(dir, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(dir);
    dir = child;
    at = next == std::string::npos ? rest.size() : next;
  }
  const int fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << name;
  ASSERT_EQ(write(fd, "needle", 6), 6);
  close(fd);
  close(dir);
}

// Removes name below the folder dirFd and everything inside it, relative step by step: the temporary
// folder's own clean-up works on full paths, which fail past the limit.
void RemoveRelative(int dirFd, const char* name) {
  const int fd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    unlinkat(dirFd, name, 0);
    return;
  }
  std::vector<std::string> children;
  if (DIR* listing = fdopendir(dup(fd))) {
    while (const dirent* entry = readdir(listing)) {
      const std::string child = entry->d_name;
      if (child != "." && child != "..") children.push_back(child);
    }
    closedir(listing);
  }
  for (const std::string& child : children) RemoveRelative(fd, child.c_str());
  close(fd);
  unlinkat(dirFd, name, AT_REMOVEDIR);
}

TEST(Scale, PathsAtThePlatformsLimit) {
  const PathStyle& style = NativePathStyle();
  const std::size_t longest = style.PathLimit() - 1;  // 4095 bytes on Linux
  testing::TempFolder tmp;
  const std::string base = tmp.path();
  // A folder whose path leaves room for a one-byte name to end exactly at the limit, and files beyond it.
  const std::string folder = DeepFolder(base, longest - 2);
  ASSERT_EQ(folder.size(), longest - 2);
  MakeFileBelow(folder, base, "a");     // path of exactly `longest` bytes: listed
  MakeFileBelow(folder, base, "bb");    // one byte past: skipped
  MakeFileBelow(folder, base, "ccc");   // two bytes past: skipped

  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, base + "/", files, true, false);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].size(), longest);
  EXPECT_TRUE(FileContains(CommandEnv{NativeFileSystem()}, std::string(files[0]), "needle", false));
  Figure("limit.longest_path_listed", static_cast<double>(files[0].size()), "bytes");

  // Folder creation: the longest missing path is worked on, one byte more is refused.
  const std::string parent = DeepFolder(base, longest - 60);
  const std::string atLimit = parent + "/x/" + std::string(longest - parent.size() - 3, 'f');
  ASSERT_EQ(atLimit.size(), longest);
  EXPECT_TRUE(EnsureDirectories(NativeFileSystem(), atLimit));
  EXPECT_TRUE(stdfs::is_directory(parent + "/x"));
  const std::string overLimit = parent + "/y/" + std::string(longest - parent.size() - 2, 'f');
  ASSERT_EQ(overLimit.size(), longest + 1);
  EXPECT_FALSE(EnsureDirectories(NativeFileSystem(), overLimit));
  EXPECT_FALSE(stdfs::exists(parent + "/y"));

  // A copy whose target would pass the limit fails and leaves nothing behind.
  const std::string source = tmp.Join("src.txt");
  ASSERT_TRUE(WriteSmallFile(source, "data"));
  const std::string output = parent + "/out/";
  EXPECT_FALSE(CopyOneFile(CommandEnv{NativeFileSystem()}, source, tmp.path(), output + std::string(100, 'o') + "/"));
  EXPECT_FALSE(stdfs::exists(parent + "/out"));

  RemoveRelative(AT_FDCWD, (base + "/d").c_str());
}

}  // namespace
}  // namespace kestrin
