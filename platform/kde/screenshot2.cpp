#include "platform/kde/screenshot2.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "platform/kde/pixel_pipe.h"
#include "platform/kde/qimage_pixels.h"

namespace orvel::kde {

namespace {

const dbus::DbusTarget kService{"org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                "org.kde.KWin.ScreenShot2"};
constexpr const char* kRefusal = "org.kde.KWin.ScreenShot2.Error.NoAuthorized";

// Closes a descriptor it owns.
struct OwnedFd {
  int fd = -1;
  OwnedFd() = default;
  explicit OwnedFd(int f) : fd(f) {}
  ~OwnedFd() { reset(); }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  void reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

// Far above any output's picture (16384 x 16384 pixels): a reply announcing more is refused before
// anything is set aside for it.
constexpr std::size_t kMaxPictureBytes = std::size_t{1} << 30;

// The reply's a{sv}: the picture's layout and scale.
Expected<QImageLayout, Failure> readLayout(const dbus::DbusMessage& reply, double& scale) {
  sd_bus_message* m = reply.get();
  QImageLayout layout;
  if (sd_bus_message_enter_container(m, 'a', "{sv}") < 0)
    return failed("KWin's screenshot reply is not a dictionary.");
  for (;;) {
    const int entered = sd_bus_message_enter_container(m, 'e', "sv");
    if (entered < 0) return failed("KWin's screenshot reply is malformed.");
    if (entered == 0) break;
    const char* key = nullptr;
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_read(m, "s", &key) < 0 ||
        sd_bus_message_peek_type(m, &type, &contents) < 0 || !contents) {
      return failed("KWin's screenshot reply is malformed.");
    }
    const std::string name = key;
    const std::string signature = contents;
    std::uint32_t value = 0;
    double real = 0;
    int r = 0;
    if (signature == "u" &&
        (name == "width" || name == "height" || name == "stride" || name == "format")) {
      r = sd_bus_message_read(m, "v", "u", &value);
      if (name == "width") layout.width = static_cast<int>(std::min<std::uint32_t>(value, 1 << 20));
      if (name == "height")
        layout.height = static_cast<int>(std::min<std::uint32_t>(value, 1 << 20));
      if (name == "stride") layout.stride = value;
      if (name == "format") layout.format = value;
    } else if (signature == "d" && name == "scale") {
      r = sd_bus_message_read(m, "v", "d", &real);
      if (std::isfinite(real) && real > 0) scale = real;
    } else {
      r = sd_bus_message_skip(m, "v");
    }
    if (r < 0 || sd_bus_message_exit_container(m) < 0)
      return failed("KWin's screenshot reply is malformed.");
  }
  sd_bus_message_exit_container(m);
  return layout;
}

int appendOptions(sd_bus_message* m) {
  // Pixels as the outputs show them, without the pointer.
  return sd_bus_message_append(m, "a{sv}", 2, "include-cursor", "b", 0, "native-resolution", "b",
                               1);
}

}  // namespace

std::string notAuthorisedMessage(const std::string& program) {
  const std::string name = std::filesystem::path(program).filename().string();
  return "KDE Plasma refused screen pictures to " + program +
         ": KWin allows them only to installed programs. Install Orvel's helpers (cmake --install "
         "or the orvel-helpers package) so that share/applications/orvel-" +
         name + ".desktop names the installed " + name + ", then run kbuildsycoca5.";
}

std::string thisProgramPath() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("this program") : path.string();
}

Screenshot2::Screenshot2(dbus::DbusConnection& bus, std::string program)
    : bus_(bus), program_(std::move(program)) {}

Task<Expected<std::uint32_t, Failure>> Screenshot2::version(Duration deadline) {
  dbus::DbusMessage request =
      bus_.newCall({kService.destination, kService.path, "org.freedesktop.DBus.Properties"}, "Get");
  if (!request ||
      sd_bus_message_append(request.get(), "ss", kService.interface.c_str(), "Version") < 0) {
    co_return failed("Cannot ask KWin for its screenshot service.");
  }
  auto reply = co_await bus_.call(std::move(request), deadline);
  if (!reply) co_return unexpected(std::move(reply).error());
  std::uint32_t version = 0;
  if (sd_bus_message_read(reply->get(), "v", "u", &version) < 0)
    co_return failed("KWin's screenshot service has no version.");
  co_return version;
}

Task<Expected<KWinPicture, Failure>> Screenshot2::captureScreen(std::string output,
                                                                Duration deadline) {
  dbus::DbusMessage request = bus_.newCall(kService, "CaptureScreen");
  if (!request || sd_bus_message_append(request.get(), "s", output.c_str()) < 0)
    co_return failed("Cannot ask KWin for a screen picture.");
  co_return co_await capture(std::move(request), deadline);
}

Task<Expected<KWinPicture, Failure>> Screenshot2::captureArea(Rect area, Duration deadline) {
  dbus::DbusMessage request = bus_.newCall(kService, "CaptureArea");
  const Rect r = area.standardized();
  const auto x = static_cast<std::int32_t>(std::floor(r.x));
  const auto y = static_cast<std::int32_t>(std::floor(r.y));
  const auto w = static_cast<std::uint32_t>(std::ceil(r.x + r.width) - x);
  const auto h = static_cast<std::uint32_t>(std::ceil(r.y + r.height) - y);
  if (!request || sd_bus_message_append(request.get(), "iiuu", x, y, w, h) < 0)
    co_return failed("Cannot ask KWin for a screen picture.");
  co_return co_await capture(std::move(request), deadline);
}

Task<Expected<KWinPicture, Failure>> Screenshot2::capture(dbus::DbusMessage request,
                                                          Duration deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) co_return failed("Cannot make a pipe for the picture.");
  OwnedFd readEnd(ends[0]);
  widenPipe(readEnd.fd);
  {
    // The message keeps a copy of the write end for KWin; ours goes now, so that the pipe ends
    // when KWin closes its own.
    OwnedFd writeEnd(ends[1]);
    if (appendOptions(request.get()) < 0 ||
        sd_bus_message_append(request.get(), "h", writeEnd.fd) < 0) {
      co_return failed("Cannot ask KWin for a screen picture.");
    }
  }
  Expected<dbus::DbusMessage, Failure> reply = co_await bus_.call(std::move(request), deadline);
  if (!reply) {
    if (reply.error().description.rfind(kRefusal, 0) == 0)
      co_return failed(notAuthorisedMessage(program_));
    co_return unexpected(std::move(reply).error());
  }
  KWinPicture picture;
  auto layout = readLayout(*reply, picture.scale);
  if (!layout) co_return unexpected(std::move(layout).error());
  const std::size_t size = layout->byteCount();
  if (size == 0) co_return failed("KWin sent a picture of no size.");
  // KWin writes whole rows, the last one included.
  const std::size_t limit = layout->stride * static_cast<std::size_t>(layout->height);
  if (limit > kMaxPictureBytes)
    co_return failed("KWin announced a picture of " + std::to_string(limit) + " bytes.");
  if (auto known = knownQImageFormat(layout->format); !known)
    co_return unexpected(std::move(known).error());
  if (layout->stride == static_cast<std::size_t>(layout->width) * 4) {
    // Packed rows are the picture's own layout: read straight into it and made premultiplied
    // there, sparing a copy and the first touch of a second buffer of the picture's size.
    Image image = Image::uninitialized(layout->width, layout->height);
    auto read = readPixelPipeInto(readEnd.fd, {image.row(0), size}, until);
    if (!read) co_return unexpected(std::move(read).error());
    if (*read < size) {
      co_return failed("KWin sent " + std::to_string(*read) + " bytes of a picture of " +
                       std::to_string(size) + ".");
    }
    auto premultiplied = premultiplyInPlace(image, layout->format);
    if (!premultiplied) co_return unexpected(std::move(premultiplied).error());
    picture.image = std::move(image);
    co_return picture;
  }
  auto bytes = readPixelPipe(readEnd.fd, limit, until);
  if (!bytes) co_return unexpected(std::move(bytes).error());
  auto image = convertQImagePixels(*bytes, *layout);
  if (!image) co_return unexpected(std::move(image).error());
  picture.image = std::move(image).value();
  co_return picture;
}

}  // namespace orvel::kde
