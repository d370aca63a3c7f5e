// The branding tool's entry: reads the files, runs the pure steps and writes the result under a
// temporary name that is renamed over the output only when every byte is on disk.

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "tools/brand/Brand.h"
#include "tools/brand/Text.h"

namespace {

namespace fs = std::filesystem;

fs::path toPath(const std::string& utf8) { return fs::u8path(utf8); }

bool readFile(const std::string& name, brand::Bytes& data) {
  std::ifstream in(toPath(name), std::ios::binary);
  if (!in) return false;
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

#ifdef _WIN32
using NativeFile = HANDLE;
const NativeFile kNoFile = INVALID_HANDLE_VALUE;
#else
using NativeFile = int;
const NativeFile kNoFile = -1;
#endif

// Creates the file only when no entry of that name exists, so that a link planted there is never
// followed into a file of the user's; kNoFile when it cannot be made.
NativeFile createNew(const fs::path& path) {
#ifdef _WIN32
  return CreateFileW(path.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
#else
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
}

bool writeAndClose(NativeFile file, const brand::Bytes& data) {
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < data.size()) {
    const std::size_t chunk = std::min<std::size_t>(data.size() - done, 1u << 20);
#ifdef _WIN32
    DWORD written = 0;
    ok = WriteFile(file, data.data() + done, static_cast<DWORD>(chunk), &written, nullptr) &&
         written > 0;
#else
    ssize_t written = write(file, data.data() + done, chunk);
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
#endif
    if (ok) done += static_cast<std::size_t>(written);
  }
  // The close is where a full disk may show: its result counts.
#ifdef _WIN32
  return CloseHandle(file) && ok;
#else
  return close(file) == 0 && ok;
#endif
}

bool writeReplacing(const std::string& name, const brand::Bytes& data, brand::Report& report) {
  const fs::path target = toPath(name);
  fs::path partial = target;
  partial += ".brand-partial";
  std::error_code ignored;
  NativeFile file = createNew(partial);
  if (file == kNoFile) {
    // Left by a run that was stopped, or put there by someone else: the name goes (a link goes
    // itself, never what it names) and the file is made afresh, again only where nothing is.
    fs::remove(partial, ignored);
    file = createNew(partial);
  }
  if (file == kNoFile) return report.fail("cannot create " + partial.u8string());
  if (!writeAndClose(file, data)) {
    fs::remove(partial, ignored);
    return report.fail("cannot write " + partial.u8string());
  }
  std::error_code error;
  fs::rename(partial, target, error);
  if (error) {
    fs::remove(partial, ignored);
    return report.fail("cannot replace " + name + ": " + error.message());
  }
  return true;
}

int run(const std::vector<std::string>& arguments) {
  brand::BrandOptions options;
  brand::Report report;
  if (!brand::parseCommandLine(arguments, options, report)) {
    std::fprintf(stderr, "brand: %s\nTry brand --help.\n", report.message.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(brand::kUsageText, stdout);
    return 0;
  }
  brand::Bytes input;
  if (!readFile(options.input, input)) {
    std::fprintf(stderr, "brand: cannot read %s\n", options.input.c_str());
    return 1;
  }
  std::vector<brand::IconImage> icon;
  if (!options.iconFile.empty()) {
    brand::Bytes file;
    if (!readFile(options.iconFile, file)) {
      std::fprintf(stderr, "brand: cannot read %s\n", options.iconFile.c_str());
      return 1;
    }
    if (!brand::readIconFile(file, icon, report)) {
      std::fprintf(stderr, "brand: %s: %s; nothing was written\n", options.iconFile.c_str(),
                   report.message.c_str());
      return 1;
    }
  }
  brand::Bytes output;
  if (!brand::brandExecutable(input, options, icon, output, report)) {
    std::fprintf(stderr, "brand: %s: %s; nothing was written\n", options.input.c_str(),
                 report.message.c_str());
    return 1;
  }
  if (!writeReplacing(options.output, output, report)) {
    std::fprintf(stderr, "brand: %s\n", report.message.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

#ifdef _WIN32
// The wide command line, so that names and texts outside the ANSI code page arrive intact.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::wstring wide(argv[i]);
    arguments.push_back(brand::utf16ToUtf8(std::u16string(wide.begin(), wide.end())));
  }
  return run(arguments);
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
