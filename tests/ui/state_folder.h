#pragma once
// Where the window keeps its undo journals, set for a test's duration: a window on the disk itself offers
// to undo the batches it finds there, so a test that reads the undo button gives it a folder of its own.
#include <cstdlib>
#include <optional>
#include <string>

namespace kestrin::testing {

// The variable that names where the window keeps its journals, set for the test's duration.
class ScopedStateFolder {
 public:
#ifdef _WIN32
  static constexpr const char* kVariable = "LOCALAPPDATA";
#else
  static constexpr const char* kVariable = "XDG_STATE_HOME";
#endif
  explicit ScopedStateFolder(const std::string& folder) {
    if (const char* before = std::getenv(kVariable)) before_ = before;
    Set(folder.c_str());
  }
  ~ScopedStateFolder() { Set(before_ ? before_->c_str() : nullptr); }

 private:
  static void Set(const char* value) {
#ifdef _WIN32
    _putenv_s(kVariable, value != nullptr ? value : "");
#else
    if (value != nullptr) {
      setenv(kVariable, value, 1);
    } else {
      unsetenv(kVariable);
    }
#endif
  }
  std::optional<std::string> before_;
};

}  // namespace kestrin::testing
