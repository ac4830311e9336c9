#pragma once
// kestrin-cli's command line: the options each command takes, read into Options, and --help's text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/glob.h"
#include "search/search.h"
#include "search/walk.h"

namespace kestrin::cli {

inline constexpr char kProgram[] = "kestrin-cli";
inline constexpr int kSuccess = 0;
inline constexpr int kNothingOrFailed = 1;
inline constexpr int kUsage = 2;

extern const char kHelp[];

// A command line that cannot be run: reported in one line, exit status 2.
struct UsageError {
  std::string message;
};

struct Options {
  std::string command;
  std::vector<std::string> operands;
  std::vector<std::string> names;  // --name, any of them
  std::vector<std::string> exts;   // -e/--ext, any of them
  std::vector<std::string> globs;  // -g/--glob
  std::optional<std::string> content;
  std::optional<std::string> oldText;
  std::optional<std::string> newText;
  std::optional<std::string> output;
  std::optional<std::string> prefix;
  std::optional<std::string> maxDepth;
  std::optional<std::string> color;
  bool ignoreCase = false;
  bool hidden = false;
  bool recursive = true;
  bool follow = true;
  bool withDir = false;
  bool withExt = false;
  bool unused = false;
  bool force = false;
  bool dryRun = false;
  bool list = false;
  bool nul = false;
  bool count = false;
  bool lines = false;
  bool verbose = false;
  bool json = false;
};

// What the command line asks for instead of a command: --help, -h or --version where an option may
// stand. The value of an option that takes one is a value, whatever its text, and "--" ends the options.
enum class Request : unsigned char { Run, Help, Version };
Request RequestOf(const std::vector<std::string>& args);

// The command and its options; an unknown option, or one the command does not take, is a UsageError.
Options Parse(const std::vector<std::string>& args);

// The files the options select below a folder (which ends in a separator): the search filters, and the
// globs they point to.
class Selection {
 public:
  Selection(const Options& options, std::string_view folder);
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  const SelectionFilters& filters() const { return filters_; }
  // Whether the options narrow the selection at all.
  bool narrows() const { return !filters_.AllAbsent(); }

 private:
  GlobSet globs_;
  SelectionFilters filters_;
};

// How the options ask for the walk of a folder.
WalkOptions WalkOf(const Options& options);

}  // namespace kestrin::cli
