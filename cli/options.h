#pragma once
// kestrin-cli's command line: the options each command takes, read into Options, and --help's text.

#include <optional>
#include <string>
#include <vector>

#include "search/search.h"

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
  std::optional<std::string> name;
  std::optional<std::string> ext;
  std::optional<std::string> content;
  std::optional<std::string> oldText;
  std::optional<std::string> newText;
  std::optional<std::string> output;
  std::optional<std::string> prefix;
  bool ignoreCase = false;
  bool hidden = false;
  bool recursive = true;
  bool withDir = false;
  bool withExt = false;
  bool unused = false;
  bool force = false;
  bool dryRun = false;
  bool list = false;
  bool nul = false;
};

// What the command line asks for instead of a command: --help, -h or --version where an option may
// stand. The value of an option that takes one is a value, whatever its text, and "--" ends the options.
enum class Request : unsigned char { Run, Help, Version };
Request RequestOf(const std::vector<std::string>& args);

// The command and its options; an unknown option, or one the command does not take, is a UsageError.
Options Parse(const std::vector<std::string>& args);

// The search filters the options give.
SearchFilters FiltersOf(const Options& options);

}  // namespace kestrin::cli
