#include "cli/options.h"

#include <algorithm>
#include <string_view>

namespace kestrin::cli {

const char kHelp[] =
    "Usage:\n"
    "  kestrin-cli search [--name TEXT] [--ext EXT] [--content TEXT] [--ignore-case] [--hidden]\n"
    "                     [--no-recursive] [-0] FOLDER\n"
    "  kestrin-cli refs   [--with-dir] [--with-ext] [--ignore-case] [--hidden] [--no-recursive]\n"
    "                     [--unused] [-0] REF_FOLDER INPUT_FOLDER\n"
    "  kestrin-cli rename --old OLD [--new NEW] [--force] [--dry-run] [--hidden] [--no-recursive]\n"
    "                     [-0] FOLDER\n"
    "  kestrin-cli copy   --output DIR [--prefix PREFIX] [--dry-run] [--name TEXT] [--ext EXT]\n"
    "                     [--content TEXT] [--ignore-case] [--hidden] [--no-recursive] [-0] FOLDER\n"
    "  kestrin-cli undo   [--list] [--dry-run] [-0]\n"
    "  kestrin-cli --help | --version\n"
    "\n"
    "search  prints the paths of the files below FOLDER that pass every filter given: --name, a part of\n"
    "        the path; --ext, the extension (leading dots skipped); --content, a text the file holds.\n"
    "refs    prints COUNT<TAB>PATH for each file below REF_FOLDER (PATH relative to it): how many files\n"
    "        below INPUT_FOLDER hold its name (from a PublicRes or PlugApp folder on with --with-dir,\n"
    "        with its extension with --with-ext); --unused prints only the files that none holds.\n"
    "rename  replaces the first OLD in each file name below FOLDER (ASCII letters in either case) by\n"
    "        NEW; --force replaces another file that has the new name.\n"
    "copy    copies the files the search options select into a mirror tree below DIR, the part of\n"
    "        each path after PREFIX (by default the one the window proposes for FOLDER) kept.\n"
    "rename and copy print SOURCE<TAB>TARGET for each file renamed or copied; with --dry-run, for each\n"
    "file that would be, changing nothing. Sub-folders are searched unless --no-recursive; hidden\n"
    "entries only with --hidden; --ignore-case folds ASCII letters. -0 ends lines with NUL, and\n"
    "separates SOURCE and TARGET with NUL too.\n"
    "undo    takes back the newest rename or copy not yet taken back (the last 20 are kept; a file they\n"
    "        replaced went to the trash) and prints TARGET<TAB>SOURCE for each step taken back: where the\n"
    "        file was and where it is again (a copy deleted: the copy and its source). A file changed,\n"
    "        moved or replaced since is left alone and reported. --dry-run shows what undo would do;\n"
    "        --list prints KIND<TAB>FILES<TAB>START<TAB>STATE for each kept batch, newest first.\n"
    "\n"
    "Each file that fails is reported on standard error with its reason. Exit status: 0 success (for\n"
    "search, at least one result); 1 no result, or at least one file failed; 2 a usage error or a folder\n"
    "that cannot be used. Ctrl-C or a termination request stops the command after the file in hand\n"
    "(status 130 or 143); so does a closed standard output, quietly (status 141).\n";

namespace {

// The options each command takes: a name, whether a value follows it, and where it goes.
struct OptionSpec {
  std::string_view name;
  std::string_view commands;  // the commands that take it, separated by spaces
  std::optional<std::string> Options::*text = nullptr;
  bool Options::*flag = nullptr;
  bool flagValue = true;
};

constexpr std::string_view kSearchLike = "search copy";
const OptionSpec kOptions[] = {
    {"--name", kSearchLike, &Options::name},
    {"--ext", kSearchLike, &Options::ext},
    {"--content", kSearchLike, &Options::content},
    {"--ignore-case", "search refs copy", nullptr, &Options::ignoreCase},
    {"--hidden", "search refs rename copy", nullptr, &Options::hidden},
    {"--no-recursive", "search refs rename copy", nullptr, &Options::recursive, false},
    {"--with-dir", "refs", nullptr, &Options::withDir},
    {"--with-ext", "refs", nullptr, &Options::withExt},
    {"--unused", "refs", nullptr, &Options::unused},
    {"--old", "rename", &Options::oldText},
    {"--new", "rename", &Options::newText},
    {"--force", "rename", nullptr, &Options::force},
    {"--dry-run", "rename copy undo", nullptr, &Options::dryRun},
    {"--list", "undo", nullptr, &Options::list},
    {"--output", "copy", &Options::output},
    {"--prefix", "copy", &Options::prefix},
    {"-0", "search refs rename copy undo", nullptr, &Options::nul},
};

bool Takes(std::string_view commands, std::string_view command) {
  for (std::size_t at = 0; at <= commands.size();) {
    const std::size_t end = std::min(commands.find(' ', at), commands.size());
    if (commands.substr(at, end - at) == command) return true;
    at = end + 1;
  }
  return false;
}

// The option an argument names (its text up to an '='), or null.
const OptionSpec* FindOption(std::string_view arg) {
  const std::string_view name = arg.substr(0, arg.find('='));
  for (const OptionSpec& spec : kOptions) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

}  // namespace

Request RequestOf(const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") return Request::Help;
    if (arg == "--version") return Request::Version;
    const OptionSpec* spec = i == 0 ? nullptr : FindOption(arg);
    if (spec != nullptr && spec->text != nullptr && arg.find('=') == std::string::npos) ++i;  // its value
  }
  return Request::Run;
}

Options Parse(const std::vector<std::string>& args) {
  Options options;
  options.command = args.front();
  bool operandsOnly = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (operandsOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      options.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      operandsOnly = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(0, equals);
    const OptionSpec* spec = FindOption(arg);
    if (spec == nullptr) throw UsageError{"unknown option " + std::string(name)};
    if (!Takes(spec->commands, options.command)) {
      throw UsageError{options.command + " does not take " + std::string(name)};
    }
    if (spec->text != nullptr) {
      if (equals != std::string::npos) {
        options.*(spec->text) = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        options.*(spec->text) = args[++i];
      } else {
        throw UsageError{std::string(name) + " needs a value"};
      }
    } else {
      if (equals != std::string::npos) throw UsageError{std::string(name) + " takes no value"};
      options.*(spec->flag) = spec->flagValue;
    }
  }
  return options;
}

// An empty text is no filter, as an empty box in the window.
namespace {

std::optional<std::string> Filter(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  return text;
}

}  // namespace

SearchFilters FiltersOf(const Options& options) {
  SearchFilters filters;
  filters.path = Filter(options.name);
  if (std::optional<std::string> ext = Filter(options.ext)) filters.extension = ExtensionFilterFromText(*ext);
  filters.content = Filter(options.content);
  filters.ignoreCase = options.ignoreCase;
  return filters;
}

}  // namespace kestrin::cli
