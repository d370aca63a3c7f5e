#include "tools/brand/Options.h"

#include <algorithm>

namespace brand {

const char* const kUsageText =
    "usage: brand [OPTION...] INPUT.exe OUTPUT.exe\n"
    "\n"
    "Writes OUTPUT.exe: INPUT.exe (the launcher, 32- or 64-bit) with the resources asked for\n"
    "below; everything else stays as it is. INPUT.exe is only read; OUTPUT.exe is replaced as a\n"
    "whole, or not at all. Sign OUTPUT.exe afterwards: a signed input is refused.\n"
    "\n"
    "Icon:\n"
    "  --icon FILE.ico              the program icon, with any number of images\n"
    "Version information (written when any of these is given, in US English):\n"
    "  --file-version N[.N[.N[.N]]]     the file's version (default: the product version)\n"
    "  --product-version N[.N[.N[.N]]]  the product's version (default: the file version)\n"
    "  --product-name TEXT\n"
    "  --company TEXT\n"
    "  --description TEXT           the name Task Manager shows (default: the product name)\n"
    "  --copyright TEXT\n"
    "Manifest (rebuilt when any of these is given; it always binds common controls 6):\n"
    "  --dpi-awareness none|system|per-monitor-v2              (default: none)\n"
    "  --long-path-aware            paths longer than 260 characters, where Windows allows them\n"
    "  --execution-level asInvoker|highestAvailable|requireAdministrator\n"
    "                                                          (default: asInvoker)\n"
    "  --utf8-code-page             UTF-8 as the code page of the program's narrow text\n"
    "                               (Windows 10 1903 and later); see docs/branding.md\n"
    "Program kind:\n"
    "  --console                    a console program: its output goes to the terminal it was\n"
    "                               started from, and the terminal waits for it\n"
    "  --help                       this text\n";

namespace {

struct ValueOption {
  const char* name;
  bool versionField;
  std::string* (*field)(BrandOptions&);
};

const ValueOption kValueOptions[] = {
    {"--icon", false, [](BrandOptions& o) { return &o.iconFile; }},
    {"--file-version", true, [](BrandOptions& o) { return &o.version.fileVersion.text; }},
    {"--product-version", true,
     [](BrandOptions& o) { return &o.version.productVersion.text; }},
    {"--product-name", true, [](BrandOptions& o) { return &o.version.productName; }},
    {"--company", true, [](BrandOptions& o) { return &o.version.companyName; }},
    {"--description", true, [](BrandOptions& o) { return &o.version.fileDescription; }},
    {"--copyright", true, [](BrandOptions& o) { return &o.version.legalCopyright; }},
};

const std::pair<const char*, DpiAwareness> kDpiChoices[] = {
    {"none", DpiAwareness::None},
    {"system", DpiAwareness::System},
    {"per-monitor-v2", DpiAwareness::PerMonitorV2}};
const std::pair<const char*, ExecutionLevel> kLevelChoices[] = {
    {"asInvoker", ExecutionLevel::AsInvoker},
    {"highestAvailable", ExecutionLevel::HighestAvailable},
    {"requireAdministrator", ExecutionLevel::RequireAdministrator}};

template <typename Value, std::size_t N>
bool choose(const std::string& option, const std::string& text,
            const std::pair<const char*, Value> (&choices)[N], Value& value, Report& report) {
  std::string names;
  for (const auto& [name, choice] : choices) {
    if (text == name) {
      value = choice;
      return true;
    }
    names += names.empty() ? name : std::string("|") + name;
  }
  return report.fail(option + " takes " + names + ", not \"" + text + "\"");
}

std::string fileName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool completeVersion(BrandOptions& options, Report& report) {
  VersionInfo& version = options.version;
  if (version.fileVersion.text.empty()) version.fileVersion.text = version.productVersion.text;
  if (version.productVersion.text.empty()) version.productVersion.text = version.fileVersion.text;
  if (version.fileVersion.text.empty()) {
    return report.fail("version information needs --file-version or --product-version");
  }
  if (!parseVersionNumber(version.fileVersion.text, version.fileVersion, report) ||
      !parseVersionNumber(version.productVersion.text, version.productVersion, report)) {
    return false;
  }
  if (version.fileDescription.empty()) version.fileDescription = version.productName;
  version.originalFilename = fileName(options.output);
  const std::size_t dot = version.originalFilename.rfind('.');
  version.internalName = version.originalFilename.substr(0, dot);
  return true;
}

}  // namespace

bool parseCommandLine(const std::vector<std::string>& arguments, BrandOptions& options,
                      Report& report) {
  options = BrandOptions();
  std::vector<std::string> seen;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    if (name.size() < 2 || name.compare(0, 2, "--") != 0 || name == "--") {
      if (name == "--") {
        files.insert(files.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
        break;
      }
      files.push_back(name);
      continue;
    }
    std::string value;
    const std::size_t equals = name.find('=');
    const bool inlineValue = equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
      return report.fail(name + " is given twice");
    }
    seen.push_back(name);
    const bool takesValue = name == "--dpi-awareness" || name == "--execution-level" ||
                            std::any_of(std::begin(kValueOptions), std::end(kValueOptions),
                                        [&](const ValueOption& o) { return name == o.name; });
    if (takesValue && !inlineValue) {
      if (i + 1 == arguments.size()) return report.fail(name + " needs a value");
      value = arguments[++i];
    } else if (!takesValue && inlineValue) {
      return report.fail(name + " takes no value");
    }

    if (name == "--help") {
      options.help = true;
    } else if (name == "--console") {
      options.console = true;
    } else if (name == "--long-path-aware") {
      options.manifest.longPathAware = options.manifestGiven = true;
    } else if (name == "--utf8-code-page") {
      options.manifest.utf8CodePage = options.manifestGiven = true;
    } else if (name == "--dpi-awareness" || name == "--execution-level") {
      const bool chosen = name == "--dpi-awareness"
                              ? choose(name, value, kDpiChoices, options.manifest.dpiAwareness, report)
                              : choose(name, value, kLevelChoices, options.manifest.executionLevel, report);
      if (!chosen) return false;
      options.manifestGiven = true;
    } else if (takesValue) {
      const ValueOption& option = *std::find_if(std::begin(kValueOptions), std::end(kValueOptions),
                                                [&](const ValueOption& o) { return name == o.name; });
      if (value.empty()) return report.fail(name + " needs a value");
      *option.field(options) = value;
      options.versionGiven = options.versionGiven || option.versionField;
    } else {
      return report.fail("unknown option " + name);
    }
  }
  if (options.help) return true;
  if (files.size() != 2) {
    return report.fail(files.size() < 2 ? "name the input and the output executable"
                                        : "more than two files named: " + files[2]);
  }
  options.input = files[0];
  options.output = files[1];
  return !options.versionGiven || completeVersion(options, report);
}

}  // namespace brand
