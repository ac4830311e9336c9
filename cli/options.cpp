#include "cli/options.h"

#include <algorithm>
#include <string_view>

namespace kestrin::cli {

const char kHelp[] =
    "Usage:\n"
    "  kestrin-cli search [SELECTION] [-c|--count] [-n|--lines] [--color auto|always|never] [--json]\n"
    "                     [--verbose] [-0] FOLDER\n"
    "  kestrin-cli refs   [--with-dir] [--with-ext] [-i|--ignore-case] [-H|--hidden] [--no-recursive]\n"
    "                     [-d|--max-depth N] [--no-follow] [--unused] [--verbose] [-0] REF_FOLDER\n"
    "                     INPUT_FOLDER\n"
    "  kestrin-cli rename --old OLD [--new NEW] [--force] [--dry-run] [SELECTION] [--verbose] [-0] FOLDER\n"
    "  kestrin-cli copy   --output DIR [--prefix PREFIX] [--dry-run] [SELECTION] [--verbose] [-0] FOLDER\n"
    "  kestrin-cli undo   [--list] [--dry-run] [-0]\n"
    "  kestrin-cli --help | --version\n"
    "SELECTION:\n"
    "  --name TEXT          a part of the path (repeatable: any of them)\n"
    "  -e, --ext EXT        the extension, leading dots skipped (repeatable: any of them)\n"
    "  -g, --glob GLOB      a glob over the path below FOLDER (repeatable); !GLOB excludes\n"
    "  --content TEXT       a text the file holds\n"
    "  -i, --ignore-case    ASCII letters of --name and --content in either case\n"
    "  -H, --hidden         hidden files and folders too\n"
    "  --no-recursive       the files of FOLDER itself only\n"
    "  -d, --max-depth N    at most N levels of folders down (1: the files of FOLDER itself)\n"
    "  --no-follow          links to folders are not entered\n"
    "\n"
    "search  prints the paths of the files below FOLDER that pass every filter given. With --content,\n"
    "        -n prints PATH:LINE:TEXT for each line that holds the text, -c PATH:COUNT for each file\n"
    "        with such lines; --color (auto: on a terminal) highlights paths, line numbers and matches;\n"
    "        --json prints one JSON object a line (match, failure, summary).\n"
    "refs    prints COUNT<TAB>PATH for each file below REF_FOLDER (PATH relative to it): how many files\n"
    "        below INPUT_FOLDER hold its name (from a PublicRes or PlugApp folder on with --with-dir,\n"
    "        with its extension with --with-ext); --unused prints only the files that none holds.\n"
    "rename  replaces the first OLD in each file name below FOLDER (ASCII letters in either case) by\n"
    "        NEW, in the selected files only; --force replaces another file that has the new name.\n"
    "copy    copies the selected files into a mirror tree below DIR, the part of each path after\n"
    "        PREFIX (by default the one the window proposes for FOLDER) kept.\n"
    "rename and copy print SOURCE<TAB>TARGET for each file renamed or copied; with --dry-run, for each\n"
    "file that would be, changing nothing. -0 ends lines with NUL, and separates SOURCE and TARGET with\n"
    "NUL too. --verbose also tells what was passed over without being a failure (a folder reached again\n"
    "through a link, a link that leads nowhere or to what is not a file).\n"
    "undo    takes back the newest rename or copy not yet taken back (the last 20 are kept; a file they\n"
    "        replaced went to the trash) and prints TARGET<TAB>SOURCE for each step taken back: where the\n"
    "        file was and where it is again (a copy deleted: the copy and its source). A file changed,\n"
    "        moved or replaced since is left alone and reported. --dry-run shows what undo would do;\n"
    "        --list prints KIND<TAB>FILES<TAB>START<TAB>STATE for each kept batch, newest first.\n"
    "\n"
    "Each file that fails is reported on standard error with its reason. Exit status: 0 success (for\n"
    "search, at least one result); 1 no result, or at least one file failed; 2 a usage error or a folder\n"
    "that cannot be used. Ctrl-C or a termination request stops the command after the file in hand\n"
    "(status 130 or 143); so does a closed standard output, quietly (status 141; 0 for a search or a\n"
    "report that had printed something).\n";

namespace {

// The options each command takes: a name, a one-letter name, whether a value follows it, and where it
// goes.
struct OptionSpec {
  std::string_view name;
  char letter;                // 0: none
  std::string_view commands;  // the commands that take it, separated by spaces
  std::optional<std::string> Options::*text = nullptr;
  std::vector<std::string> Options::*list = nullptr;
  bool Options::*flag = nullptr;
  bool flagValue = true;
};

constexpr std::string_view kSelecting = "search rename copy";
constexpr std::string_view kWalking = "search refs rename copy";
const OptionSpec kOptions[] = {
    {"--name", 0, kSelecting, nullptr, &Options::names},
    {"--ext", 'e', kSelecting, nullptr, &Options::exts},
    {"--glob", 'g', kSelecting, nullptr, &Options::globs},
    {"--content", 0, kSelecting, &Options::content},
    {"--ignore-case", 'i', kWalking, nullptr, nullptr, &Options::ignoreCase},
    {"--hidden", 'H', kWalking, nullptr, nullptr, &Options::hidden},
    {"--no-recursive", 0, kWalking, nullptr, nullptr, &Options::recursive, false},
    {"--max-depth", 'd', kWalking, &Options::maxDepth},
    {"--no-follow", 0, kWalking, nullptr, nullptr, &Options::follow, false},
    {"--verbose", 0, kWalking, nullptr, nullptr, &Options::verbose},
    {"--count", 'c', "search", nullptr, nullptr, &Options::count},
    {"--lines", 'n', "search", nullptr, nullptr, &Options::lines},
    {"--color", 0, "search", &Options::color},
    {"--json", 0, "search", nullptr, nullptr, &Options::json},
    {"--with-dir", 0, "refs", nullptr, nullptr, &Options::withDir},
    {"--with-ext", 0, "refs", nullptr, nullptr, &Options::withExt},
    {"--unused", 0, "refs", nullptr, nullptr, &Options::unused},
    {"--old", 0, "rename", &Options::oldText},
    {"--new", 0, "rename", &Options::newText},
    {"--force", 0, "rename", nullptr, nullptr, &Options::force},
    {"--dry-run", 0, "rename copy undo", nullptr, nullptr, &Options::dryRun},
    {"--list", 0, "undo", nullptr, nullptr, &Options::list},
    {"--output", 0, "copy", &Options::output},
    {"--prefix", 0, "copy", &Options::prefix},
    {"-0", '0', "search refs rename copy undo", nullptr, nullptr, &Options::nul},
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

const OptionSpec* FindLetter(char letter) {
  for (const OptionSpec& spec : kOptions) {
    if (spec.letter == letter && letter != 0) return &spec;
  }
  return nullptr;
}

bool TakesValue(const OptionSpec& spec) { return spec.text != nullptr || spec.list != nullptr; }

// One-letter options together ("-in"): those before the one that takes a value, whose value is the
// rest of the argument or, when nothing is left, the next one. How many arguments the group takes.
template <class OnOption>
std::size_t ForEachLetter(const std::string& arg, const std::string* next, const OnOption& onOption) {
  for (std::size_t at = 1; at < arg.size(); ++at) {
    const OptionSpec* spec = FindLetter(arg[at]);
    if (spec == nullptr) throw UsageError{"unknown option -" + std::string(1, arg[at])};
    if (!TakesValue(*spec)) {
      onOption(*spec, nullptr);
      continue;
    }
    if (at + 1 < arg.size()) {
      const std::string value = arg.substr(at + 1);
      onOption(*spec, &value);
      return 1;
    }
    if (next == nullptr) throw UsageError{"-" + std::string(1, arg[at]) + " needs a value"};
    onOption(*spec, next);
    return 2;
  }
  return 1;
}

bool IsLetterGroup(const std::string& arg) { return arg.size() >= 2 && arg[0] == '-' && arg[1] != '-'; }

}  // namespace

Request RequestOf(const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") return Request::Help;
    if (arg == "--version") return Request::Version;
    if (i == 0) continue;
    if (IsLetterGroup(arg)) {
      // Its value, when the last letter takes one. An unknown letter is the parser's to report.
      const OptionSpec* last = FindLetter(arg.back());
      const bool valueInside = std::any_of(arg.begin() + 1, arg.end() - 1, [](char c) {
        const OptionSpec* spec = FindLetter(c);
        return spec != nullptr && TakesValue(*spec);
      });
      if (last != nullptr && TakesValue(*last) && !valueInside) ++i;
      continue;
    }
    const OptionSpec* spec = FindOption(arg);
    if (spec != nullptr && TakesValue(*spec) && arg.find('=') == std::string::npos) ++i;  // its value
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
    const auto set = [&](const OptionSpec& spec, std::string_view name, const std::string* value) {
      if (!Takes(spec.commands, options.command)) {
        throw UsageError{options.command + " does not take " + std::string(name)};
      }
      if (spec.text != nullptr) {
        options.*(spec.text) = *value;
      } else if (spec.list != nullptr) {
        (options.*(spec.list)).push_back(*value);
      } else {
        options.*(spec.flag) = spec.flagValue;
      }
    };
    if (IsLetterGroup(arg) && FindOption(arg) == nullptr) {
      const std::string* next = i + 1 < args.size() ? &args[i + 1] : nullptr;
      i += ForEachLetter(arg, next, [&](const OptionSpec& spec, const std::string* value) {
             set(spec, spec.name, value);
           }) - 1;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(0, equals);
    const OptionSpec* spec = FindOption(arg);
    if (spec == nullptr) throw UsageError{"unknown option " + std::string(name)};
    if (TakesValue(*spec)) {
      if (equals != std::string::npos) {
        const std::string value = arg.substr(equals + 1);
        set(*spec, name, &value);
      } else if (i + 1 < args.size()) {
        set(*spec, name, &args[++i]);
      } else {
        throw UsageError{std::string(name) + " needs a value"};
      }
    } else {
      if (equals != std::string::npos) throw UsageError{std::string(name) + " takes no value"};
      set(*spec, name, nullptr);
    }
  }
  if (options.color && *options.color != "auto" && *options.color != "always" && *options.color != "never") {
    throw UsageError{"--color takes auto, always or never"};
  }
  if (options.maxDepth) {
    const std::string& depth = *options.maxDepth;
    if (depth.empty() || depth.size() > 9 || depth.find_first_not_of("0123456789") != std::string::npos) {
      throw UsageError{"--max-depth takes a number of levels"};
    }
  }
  if ((options.count || options.lines) && (!options.content || options.content->empty())) {
    throw UsageError{std::string(options.count ? "--count" : "--lines") + " needs --content"};
  }
  if (options.json && options.nul) throw UsageError{"--json and -0 do not go together"};
  return options;
}

Selection::Selection(const Options& options, std::string_view folder) {
  // An empty text is no filter, as an empty box in the window.
  for (const std::string& name : options.names) {
    if (name.empty()) continue;
    if (!filters_.path) {
      filters_.path = name;
    } else {
      filters_.otherPaths.push_back(name);
    }
  }
  for (const std::string& text : options.exts) {
    if (text.empty()) continue;
    std::string ext = ExtensionFilterFromText(text);
    if (!filters_.extension) {
      filters_.extension = std::move(ext);
    } else {
      filters_.otherExtensions.push_back(std::move(ext));
    }
  }
  if (options.content && !options.content->empty()) filters_.content = options.content;
  filters_.ignoreCase = options.ignoreCase;
  for (const std::string& glob : options.globs) globs_.Add(glob);
  if (!globs_.empty()) {
    filters_.globs = &globs_;
    filters_.globBase = folder.size();
  }
}

WalkOptions WalkOf(const Options& options) {
  WalkOptions walk;
  walk.recursive = options.recursive;
  walk.includeHidden = options.hidden;
  walk.followLinks = options.follow;
  if (options.maxDepth) walk.maxDepth = std::stoul(*options.maxDepth);
  return walk;
}

}  // namespace kestrin::cli
