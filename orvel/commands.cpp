#include "commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "autostart_answer.h"
#include "clipboard.h"
#include "helper_paths.h"
#include "helper_process.h"
#include "orvel/common/json_text.h"
#include "orvel/startup.h"
#include "png_file.h"
#include "scroll_helper_channel.h"
#include "scrolling_capture.h"

namespace orvel::cli {

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "orvel: %s\n", message.c_str());
  return 1;
}

bool executable(const std::string& path) {
  struct stat s;
  return ::stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string helper(const HelperName& name, const CommandContext& context) {
  return helperPath(name, context.programFolder, context.environment(name.environmentKey),
                    executable);
}

// The file a picture goes to: the one named, else a new name in the pictures folder (made when
// missing).
Expected<std::string, Failure> outputPath(const std::optional<std::string>& named,
                                          const CommandContext& context) {
  if (named) return *named;
  auto folder =
      screenshotFolder({context.environment("XDG_PICTURES_DIR"), context.environment("HOME")});
  if (!folder) return unexpected(folder.error());
  std::error_code error;
  std::filesystem::create_directories(*folder, error);
  if (error) return failed("Cannot make the folder " + *folder + ": " + error.message());
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return screenshotPath(*folder, local, [](const std::string& p) {
    return std::filesystem::exists(std::filesystem::symlink_status(p));
  });
}

// A private temporary file, removed when this goes away.
class TemporaryFile {
 public:
  explicit TemporaryFile(const CommandContext& context) {
    const auto runtime = context.environment("XDG_RUNTIME_DIR");
    std::string pattern =
        (runtime && !runtime->empty() ? *runtime : std::string("/tmp")) + "/orvel-XXXXXX.png";
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd >= 0) {
      ::close(fd);
      path_ = pattern;
    }
  }
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A program's path from $PATH.
std::optional<std::string> findProgram(const std::string& name, const CommandContext& context) {
  const std::string dirs = context.environment("PATH").value_or("/usr/bin:/bin");
  for (std::size_t at = 0; at <= dirs.size();) {
    const std::size_t colon = std::min(dirs.find(':', at), dirs.size());
    const std::string candidate = dirs.substr(at, colon - at) + "/" + name;
    if (colon > at && executable(candidate)) return candidate;
    at = colon + 1;
  }
  return std::nullopt;
}

// The clipboard tool for --copy (none without it), found before any capture so that nobody drags
// for a copy that cannot happen.
Expected<std::optional<std::vector<std::string>>, Failure> clipboardFor(
    bool copy, ClipboardContent content, const CommandContext& context) {
  if (!copy) return std::optional<std::vector<std::string>>();
  auto command = clipboardCommand(
      {context.environment("WAYLAND_DISPLAY").has_value(),
       context.environment("DISPLAY").has_value()},
      [&](const std::string& name) { return findProgram(name, context); }, content);
  if (!command) return failed(kNoClipboardTool);
  return command;
}

// The file a picture is written to: a temporary one (held in `temporary`) for standard output,
// else the one named or a new screenshot name.
Expected<std::string, Failure> pictureFile(const std::optional<std::string>& output,
                                           const CommandContext& context,
                                           std::optional<TemporaryFile>& temporary) {
  if (output != "-") return outputPath(output, context);
  temporary.emplace(context);
  if (temporary->path().empty()) return failed("Cannot make a temporary file.");
  return temporary->path();
}

// Hands on a written picture: to standard output for "-o -", else its path is printed; and to
// the clipboard when one is given.
int deliverPicture(const std::string& file, bool toStandardOutput,
                   const std::optional<std::vector<std::string>>& clipboard) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || bytes.empty()) return fail("Cannot read the picture back from " + file + ".");
  if (toStandardOutput) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0)
      return fail("Cannot write the picture to standard output.");
  } else {
    std::printf("%s\n", file.c_str());
    std::fflush(stdout);
  }
  if (clipboard) {
    if (auto copied = copyToClipboard(*clipboard, bytes); !copied)
      return fail(copied.error().description);
  }
  return 0;
}

// Region capture into `path`: 0 written, 1 failed or canceled (said on standard error).
int captureRegion(const std::string& path, const CommandContext& context) {
  auto process = HelperProcess::start({helper(kRegionHelper, context)});
  if (!process) return fail(process.error().description);
  HelperProcess& h = **process;
  h.write(R"({"command":"prepare","id":1})"
          "\n");
  h.write(R"({"command":"capture","id":1,"path":)" + Json(path).dump() + "}\n");
  std::string line;
  const ReadEnd end = h.readLine(line, HelperProcess::kForever, context.interrupt.fd());
  h.write(R"({"command":"quit"})"
          "\n");
  if (end == ReadEnd::kInterrupted) return fail("interrupted");
  if (end != ReadEnd::kDone) return fail("region-capture-helper ended unexpectedly.");
  const auto reply = parseJson(line);
  if (!reply || !reply->is_object()) return fail("region-capture-helper answered: " + line);
  if (!reply->value("ok", false))
    return fail(reply->value("error", std::string("region capture failed")));
  if (reply->value("canceled", false)) return fail("canceled");
  return 0;
}

// A command that captures a picture: the clipboard command and the file's name are settled first
// (a capture must not be lost to a folder that cannot be made), then `capture` writes the file,
// which then goes to standard output for "-" and onto the clipboard when asked.
int runPictureCommand(const std::optional<std::string>& output, bool copy,
                      const CommandContext& context,
                      const std::function<int(const std::string& path)>& capture) {
  const auto clipboard = clipboardFor(copy, ClipboardContent::kPng, context);
  if (!clipboard) return fail(clipboard.error().description);
  std::optional<TemporaryFile> temporary;
  const auto path = pictureFile(output, context, temporary);
  if (!path) return fail(path.error().description);
  if (const int status = capture(*path); status != 0) return status;
  return deliverPicture(*path, output == "-", *clipboard);
}

// Drives the scroll helper over the dragged view and writes the page to `path`.
int captureScroll(const std::string& path, const ScrollOptions& options,
                  const CommandContext& context) {
  auto process = HelperProcess::start({helper(kScrollHelper, context)});
  if (!process) return fail(process.error().description);
  ScrollHelperChannel channel(**process, context.interrupt.fd());
  ScrollingCaptureHooks hooks;
  hooks.interrupted = [&] { return context.interrupt.pending(); };
  hooks.pauseForRepaint = [] { std::this_thread::sleep_for(kRepaintPause); };
  hooks.progress = [](int frames, int width, int height) {
    std::fprintf(stderr, "orvel: %d %s, page %dx%d px\n", frames, frames == 1 ? "frame" : "frames",
                 width, height);
  };
  using Stop = ScrollingCaptureResult::Stop;
  const ScrollingCaptureResult result = captureScrollingPage(channel, options.maxHeight, hooks);
  channel.close();
  if (result.stop == Stop::kCanceled) return fail("canceled");
  if (!result.page) return fail(result.stop == Stop::kInterrupted ? "interrupted" : result.why);

  switch (result.stop) {
    case Stop::kEndOfPage:
      std::fprintf(stderr, "orvel: the end of the page\n");
      break;
    case Stop::kHeightLimit:
      std::fprintf(stderr, "orvel: stopped at the height limit of %d px\n", options.maxHeight);
      break;
    case Stop::kInterrupted:
      std::fprintf(stderr, "orvel: interrupted; keeping what was captured\n");
      break;
    default:
      std::fprintf(stderr, "orvel: %s Keeping what was captured.\n", result.why.c_str());
      break;
  }
  if (result.unmatchedFrames > 0)
    std::fprintf(stderr, "orvel: %d frames did not overlap the page; it may have gaps\n",
                 result.unmatchedFrames);
  ImageView page = result.page->view();
  page.height = std::min(page.height, options.maxHeight);
  if (auto written = writePngFile(page, path); !written) return fail(written.error().description);
  std::fprintf(stderr, "orvel: %d frames, page %dx%d px\n", result.frames, page.width, page.height);
  return 0;
}

}  // namespace

int runRegion(const RegionOptions& options, const CommandContext& context) {
  return runPictureCommand(options.output, options.copy, context,
                           [&](const std::string& path) { return captureRegion(path, context); });
}

int runScroll(const ScrollOptions& options, const CommandContext& context) {
  return runPictureCommand(options.output, options.copy, context, [&](const std::string& path) {
    return captureScroll(path, options, context);
  });
}

int runText(const TextOptions& options, const CommandContext& context) {
  const auto clipboard = clipboardFor(options.copy, ClipboardContent::kText, context);
  if (!clipboard) return fail(clipboard.error().description);
  TemporaryFile captured(context);
  std::string image;
  if (options.image) {
    image = *options.image;
  } else {
    if (captured.path().empty()) return fail("Cannot make a temporary file.");
    if (const int status = captureRegion(captured.path(), context); status != 0) return status;
    image = captured.path();
  }
  auto process =
      HelperProcess::start({helper(kTextHelper, context), "recognize", image, options.language});
  if (!process) return fail(process.error().description);
  (*process)->closeInput();
  std::string output;
  const ReadEnd end = (*process)->readAll(output, HelperProcess::kForever, context.interrupt.fd());
  if (end == ReadEnd::kInterrupted) return fail("interrupted");
  const auto status = (*process)->wait(std::chrono::seconds(10));
  const auto reply = parseJson(output);
  if (!reply || !reply->is_object()) return fail("text-recognition-helper answered: " + output);
  if (options.json) std::printf("%s\n", output.c_str());
  if (!reply->contains("text") || status != 0) {
    if (!options.json) fail(reply->value("error", std::string("text recognition failed")));
    return 1;
  }
  const std::string text = (*reply)["text"].get<std::string>();
  if (!options.json) std::printf("%s\n", text.c_str());
  std::fflush(stdout);
  if (*clipboard) {
    if (auto copied = copyToClipboard(**clipboard, text); !copied)
      return fail(copied.error().description);
  }
  return 0;
}

int runAutostart(const AutostartOptions& options) {
  AutostartAnswer answer;
  switch (options.action) {
    case AutostartOptions::Action::kOn:
      answer = autostartOnRefused();
      break;
    case AutostartOptions::Action::kOff:
      answer = autostartAnswer(orvel_startup_set(0));
      break;
    case AutostartOptions::Action::kStatus:
      answer = autostartAnswer(orvel_startup_status());
      break;
  }
  std::fprintf(answer.standardError ? stderr : stdout, "%s\n", answer.line.c_str());
  return answer.exitStatus;
}

}  // namespace orvel::cli
