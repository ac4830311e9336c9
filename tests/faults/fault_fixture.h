#pragma once
// The dialog on a headless window over a real temporary folder, with the fault-injecting file system in
// force: what the user sees (status texts, message boxes) and what is on the disk afterwards, every file
// checksummed, so that each injected fault is checked for its documented outcome and for loss.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "support/faulty_fs.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/resource_ids.h"

namespace kestrin::faults {

// Relative path (with '/') -> content of every regular file below a folder.
using Tree = std::map<std::string, std::string>;

// Totals over the whole run, printed at its end: how many files were compared after a fault.
struct Totals {
  static inline std::size_t filesChecked = 0;
  static inline std::size_t bytesChecked = 0;
  static inline std::size_t faultCases = 0;
};

inline Tree ReadTree(const std::string& folder) {
  namespace stdfs = std::filesystem;
  Tree tree;
  std::error_code error;
  if (!stdfs::exists(folder, error)) return tree;
  for (const auto& entry : stdfs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::optional<std::string> content = testing::ReadFile(entry.path().string());
    EXPECT_TRUE(content.has_value()) << entry.path();
    tree[stdfs::relative(entry.path(), folder).generic_string()] = content.value_or("<unreadable>");
  }
  return tree;
}

// A status text: each %d or %s of format replaced by the next argument.
inline std::string Fill(std::string_view format, std::initializer_list<std::string> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 'd' || format[i + 1] == 's') &&
        next != args.end()) {
      out += *next++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() : dialog_(host_) { dialog_.OnInitDialog(); }
  ~FaultTest() override { ++Totals::faultCases; }

  // Writes a file below the temporary folder, making its folders first; returns its full path.
  std::string Make(const std::string& relative, std::string_view content) {
    const std::string path = tmp_.Join(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    EXPECT_TRUE(testing::WriteFile(path, content)) << path;
    return path;
  }
  std::string Folder(const std::string& relative) const { return tmp_.Join(relative); }

  // A folder dropped on the window without Ctrl: the input folder, walked at once.
  void DropInput(const std::string& relative) {
    host_.SetCtrlHeld(false);
    dialog_.OnDropFiles({Folder(relative)});
  }

  std::string Status() const { return host_.Text(IDC_STATUS); }

  // The folder's files equal the expected ones, content included; counts what was compared.
  void ExpectTree(const std::string& relative, const Tree& expected) {
    const Tree actual = ReadTree(Folder(relative));
    EXPECT_EQ(actual, expected) << "below " << relative;
    for (const auto& [name, content] : actual) {
      ++Totals::filesChecked;
      Totals::bytesChecked += content.size();
    }
  }

  testing::TempFolder tmp_;
  testing::FaultyFileSystem faulty_;  // forwards to the disk until told otherwise
  ScopedFileSystem use_{faulty_};
  headless::HeadlessHost host_;
  CKestrinDlg dialog_;
};

}  // namespace kestrin::faults
