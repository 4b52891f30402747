// A stand-in for the host application: loads the library with dlopen and calls it.
//   startup_host <library> (status | set <flag>)...
// prints each result on its own line. It also defines syslog(), which the loaded library binds
// to ahead of the C library's, so that every system-log line shows on standard error as
// "syslog: <line>".
#include <dlfcn.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void logLine(const char* format, va_list arguments) {
  std::fputs("syslog: ", stderr);
  std::vfprintf(stderr, format, arguments);
  std::fputc('\n', stderr);
}

}  // namespace

extern "C" void syslog(int, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  logLine(format, arguments);
  va_end(arguments);
}

// The name fortified builds call instead.
extern "C" void __syslog_chk(int, int, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  logLine(format, arguments);
  va_end(arguments);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: startup_host <library> (status | set <flag>)...\n");
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  using Status = std::int32_t (*)();
  using Set = std::int32_t (*)(std::int32_t);
  const auto status = reinterpret_cast<Status>(dlsym(library, "orvel_startup_status"));
  const auto set = reinterpret_cast<Set>(dlsym(library, "orvel_startup_set"));
  if (!status || !set) {
    std::fprintf(stderr, "dlsym: %s\n", dlerror());
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    const std::string command = argv[i];
    if (command == "status") {
      std::printf("%d\n", status());
    } else if (command == "set" && i + 1 < argc) {
      std::printf("%d\n", set(static_cast<std::int32_t>(std::atoi(argv[++i]))));
    } else {
      std::fprintf(stderr, "unknown command %s\n", command.c_str());
      return 2;
    }
  }
  dlclose(library);
  return 0;
}
