// The branding tool's entry: reads the files, runs the pure steps and writes the result under a
// temporary name that is renamed over the output only when every byte is on disk.

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

bool writeReplacing(const std::string& name, const brand::Bytes& data, brand::Report& report) {
  const fs::path target = toPath(name);
  fs::path partial = target;
  partial += ".brand-partial";
  std::error_code ignored;
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
      fs::remove(partial, ignored);
      return report.fail("cannot write " + partial.u8string());
    }
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
