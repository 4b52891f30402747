#include "command_line.h"

#include <charconv>
#include <functional>

namespace orvel::cli {

namespace {

// Walks the arguments of one subcommand; options take their value as the next argument or after
// '=' (--lang=de).
class Arguments {
 public:
  Arguments(const std::vector<std::string>& all, std::size_t from) : all_(all), at_(from) {}
  bool done() const { return at_ >= all_.size(); }
  const std::string& next() { return all_[at_++]; }
  // The value of option `name` whose argument was just taken.
  Expected<std::string, Failure> value(const std::string& name, const std::string& taken) {
    if (const auto eq = taken.find('='); eq != std::string::npos) return taken.substr(eq + 1);
    if (done()) return failed("option " + name + " needs a value");
    return next();
  }

 private:
  const std::vector<std::string>& all_;
  std::size_t at_;
};

bool isOption(const std::string& argument, const std::string& name) {
  return argument == name || argument.rfind(name + "=", 0) == 0;
}

Unexpected<Failure> unknownOption(const std::string& command, const std::string& option) {
  return failed("orvel " + command + ": unknown option " + option);
}

// The value of -o or --output (just taken): a file name, or - for standard output.
Expected<std::string, Failure> outputFile(Arguments& args, const std::string& taken) {
  auto v = args.value("-o", taken);
  if (v && v->empty()) return failed("option -o needs a file name, or - for standard output");
  return v;
}

// What a subcommand's own options take: true when it took `taken`.
using OwnOptions = std::function<Expected<bool, Failure>(Arguments&, const std::string& taken)>;

// Reads the options of a subcommand that writes a picture: -o/--output and its own.
Expected<void, Failure> readPictureOptions(Arguments& args, const std::string& command,
                                           std::optional<std::string>& output,
                                           const OwnOptions& own = {}) {
  while (!args.done()) {
    const std::string a = args.next();
    if (a == "-o" || isOption(a, "--output")) {
      auto v = outputFile(args, a);
      if (!v) return unexpected(v.error());
      output = *v;
      continue;
    }
    auto taken = own ? own(args, a) : Expected<bool, Failure>(false);
    if (!taken) return unexpected(taken.error());
    if (!*taken) return unknownOption(command, a);
  }
  return {};
}

Expected<Command, Failure> parseRegion(Arguments args) {
  RegionOptions o;
  if (auto read = readPictureOptions(args, "region", o.output); !read)
    return unexpected(read.error());
  return Command(o);
}

Expected<Command, Failure> parseScroll(Arguments args) {
  ScrollOptions o;
  auto read = readPictureOptions(
      args, "scroll", o.output,
      [&o](Arguments& more, const std::string& a) -> Expected<bool, Failure> {
        if (!isOption(a, "--max-height")) return false;
        auto v = more.value("--max-height", a);
        if (!v) return unexpected(v.error());
        int height = 0;
        const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), height);
        if (ec != std::errc() || end != v->data() + v->size() || height < 1 ||
            height > kMaxPageHeight)
          return failed("--max-height takes a number of pixels from 1 to " +
                        std::to_string(kMaxPageHeight) + ", not \"" + *v + "\"");
        o.maxHeight = height;
        return true;
      });
  if (!read) return unexpected(read.error());
  return Command(o);
}

Expected<Command, Failure> parseText(Arguments args) {
  TextOptions o;
  while (!args.done()) {
    const std::string a = args.next();
    if (isOption(a, "--lang")) {
      auto v = args.value("--lang", a);
      if (!v) return unexpected(v.error());
      if (v->empty()) return failed("--lang needs a language tag such as en-US, or system");
      o.language = *v;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--copy") {
      o.copy = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return unknownOption("text", a);
    } else if (o.image) {
      return failed("orvel text reads one image, not \"" + *o.image + "\" and \"" + a + "\"");
    } else {
      o.image = a;
    }
  }
  return Command(o);
}

Expected<Command, Failure> parseAutostart(Arguments args) {
  if (args.done()) return failed("orvel autostart needs off or status");
  const std::string a = args.next();
  AutostartOptions o;
  if (a == "on") {
    o.action = AutostartOptions::Action::kOn;
  } else if (a == "off") {
    o.action = AutostartOptions::Action::kOff;
  } else if (a == "status") {
    o.action = AutostartOptions::Action::kStatus;
  } else {
    return failed("orvel autostart takes off or status, not \"" + a + "\"");
  }
  if (!args.done()) return failed("orvel autostart takes one word");
  return Command(o);
}

}  // namespace

Expected<Command, Failure> parseCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return failed("orvel needs a command: region, scroll, text or autostart");
  const std::string& command = arguments[0];
  for (const auto& a : arguments) {
    if (a == "--help" || a == "-h") return Command(HelpRequest{});
  }
  if (command == "--version") return Command(VersionRequest{});
  Arguments rest(arguments, 1);
  if (command == "region") return parseRegion(rest);
  if (command == "scroll") return parseScroll(rest);
  if (command == "text") return parseText(rest);
  if (command == "autostart") return parseAutostart(rest);
  return failed("orvel: unknown command \"" + command + "\" (region, scroll, text, autostart)");
}

const char* usageText() {
  return R"(Usage: orvel COMMAND [OPTIONS]

Screenshots from the terminal or a key binding: a frozen region, a scrolling page, the text of
either. Drag over the screen to choose; Escape cancels.

Commands:
  region [-o FILE|-]               capture a region of the frozen screen as PNG
  scroll [-o FILE|-] [--max-height PX]
                                   drag over a scrolling view; orvel scrolls it and writes the
                                   whole page as one PNG (it stops at the end of the page, at the
                                   height limit, or on Escape or Ctrl-C, keeping what it has)
  text [--lang TAG] [--json] [--copy] [IMAGE]
                                   print the text of IMAGE, or of a region captured first;
                                   --copy also puts it on the clipboard (wl-copy or xclip)
  autostart off|status             removes or shows orvel's login item (orvel has nothing to
                                   start at login, so "on" is refused: bind a key instead)

Without -o the picture goes to $XDG_PICTURES_DIR, else ~/Pictures, as
Screenshot-YYYY-MM-DD-HHMMSS.png; its path is printed. "-o -" writes the PNG to standard output.

Examples:
  orvel scroll                     the page of a long document or chat, in ~/Pictures
  orvel scroll -o page.png --max-height 20000
  orvel region -o - | wl-copy      a region straight to the clipboard
  orvel text --lang de --copy      read German text off the screen and copy it
  orvel text scan.png --json       the recognition result as JSON

Exit status: 0 when a picture or text was produced (a scroll stopped early by Escape or an
interrupt keeps its page), 1 on failure or when canceled, 2 on a usage error.
)";
}

}  // namespace orvel::cli
