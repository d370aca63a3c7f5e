#include <string>
#include <vector>

#include "tests/unit/Test.h"
#include "tools/brand/Manifest.h"
#include "tools/brand/Options.h"
#include "tools/brand/Text.h"

using namespace brand;

namespace {

// What the parse gave, in one comparable line.
std::string summary(const BrandOptions& o) {
  std::string text = o.input + " -> " + o.output;
  if (!o.iconFile.empty()) text += " icon=" + o.iconFile;
  if (o.versionGiven) {
    const VersionInfo& v = o.version;
    text += " version=" + v.fileVersion.text + "/" + v.productVersion.text + " [" + v.productName +
            "|" + v.companyName + "|" + v.fileDescription + "|" + v.legalCopyright + "|" +
            v.originalFilename + "|" + v.internalName + "]";
  }
  if (o.manifestGiven) {
    const ManifestSettings& m = o.manifest;
    text += " manifest=" + std::to_string(int(m.dpiAwareness)) + std::to_string(int(m.executionLevel)) +
            (m.longPathAware ? "L" : "") + (m.utf8CodePage ? "U" : "");
  }
  if (o.console) text += " console";
  return text;
}

}  // namespace

TEST_CASE(brandCommandLine) {
  struct Row {
    std::vector<std::string> args;
    std::string expected;  // summary(), or "error: " and a part of the message
  };
  const Row rows[] = {
      {{"in.exe", "out.exe"}, "in.exe -> out.exe"},
      {{"--icon", "a.ico", "in.exe", "dist/MyApp.exe"}, "in.exe -> dist/MyApp.exe icon=a.ico"},
      {{"--icon=a b.ico", "in.exe", "out.exe"}, "in.exe -> out.exe icon=a b.ico"},
      {{"--product-version", "2.1", "--product-name", "My App", "in.exe", "C:\\dist\\MyApp.exe"},
       "in.exe -> C:\\dist\\MyApp.exe version=2.1/2.1 [My App||My App||MyApp.exe|MyApp]"},
      {{"--file-version=1.0.0.7", "--product-version=1", "--company", "Acme", "--description", "Viewer",
        "--copyright", "(c) Acme", "in.exe", "viewer"},
       "in.exe -> viewer version=1.0.0.7/1 [|Acme|Viewer|(c) Acme|viewer|viewer]"},
      {{"--dpi-awareness", "per-monitor-v2", "--long-path-aware", "in.exe", "out.exe"},
       "in.exe -> out.exe manifest=20L"},
      {{"--execution-level=requireAdministrator", "--utf8-code-page", "--console", "in.exe", "out.exe"},
       "in.exe -> out.exe manifest=02U console"},
      {{"--dpi-awareness=none", "in.exe", "out.exe"}, "in.exe -> out.exe manifest=00"},
      {{"--", "--in.exe", "out.exe"}, "--in.exe -> out.exe"},
      {{"in.exe"}, "error: name the input and the output"},
      {{"a", "b", "c"}, "error: more than two files named: c"},
      {{"--icon"}, "error: --icon needs a value"},
      {{"--icon=", "in.exe", "out.exe"}, "error: --icon needs a value"},
      {{"--console=yes", "in.exe", "out.exe"}, "error: --console takes no value"},
      {{"--console", "--console", "in.exe", "out.exe"}, "error: --console is given twice"},
      {{"--colour", "in.exe", "out.exe"}, "error: unknown option --colour"},
      {{"--dpi-awareness", "permonitor", "in.exe", "out.exe"},
       "error: --dpi-awareness takes none|system|per-monitor-v2, not \"permonitor\""},
      {{"--execution-level", "asinvoker", "in.exe", "out.exe"}, "error: --execution-level takes asInvoker|"},
      {{"--company", "Acme", "in.exe", "out.exe"}, "error: version information needs --file-version"},
      {{"--file-version", "1.2.x", "in.exe", "out.exe"}, "error: \"1.2.x\" is not a version"},
  };
  for (const Row& row : rows) {
    std::string label;
    for (const std::string& arg : row.args) label += arg + " ";
    test::setContext(label);
    BrandOptions options;
    Report report;
    const bool parsed = parseCommandLine(row.args, options, report);
    const std::string got = parsed ? summary(options) : "error: " + report.message;
    if (row.expected.compare(0, 7, "error: ") == 0) {
      CHECK(!parsed && got.compare(0, row.expected.size(), row.expected) == 0);
      if (parsed || got.compare(0, row.expected.size(), row.expected) != 0) CHECK_EQ(got, row.expected);
    } else {
      CHECK_EQ(got, row.expected);
    }
  }
  test::setContext("");
  BrandOptions options;
  Report report;
  CHECK(parseCommandLine({"--help"}, options, report) && options.help);
}

TEST_CASE(brandManifest) {
  const std::string commonControls =
      "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"";
  struct Row {
    ManifestSettings settings;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const Row rows[] = {
      {{}, {"level=\"asInvoker\" uiAccess=\"false\""}, {"<application xmlns", "windowsSettings", "dpiAware"}},
      {{DpiAwareness::System, false, ExecutionLevel::HighestAvailable, false},
       {"level=\"highestAvailable\"",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"},
       {"dpiAwareness", "longPathAware", "activeCodePage"}},
      {{DpiAwareness::PerMonitorV2, true, ExecutionLevel::RequireAdministrator, true},
       {"level=\"requireAdministrator\"", ">true/pm</dpiAware>",
        "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, "
        "PerMonitor</dpiAwareness>",
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>",
        "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>"},
       {}},
  };
  for (const Row& row : rows) {
    const std::string text = buildManifest(row.settings);
    test::setContext(text);
    CHECK(text.find("\n                        processorArchitecture") != std::string::npos);
    CHECK(text.find(commonControls) != std::string::npos);
    CHECK(text.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}") != std::string::npos);
    for (const std::string& part : row.present) CHECK(text.find(part) != std::string::npos);
    for (const std::string& part : row.absent) CHECK(text.find(part) == std::string::npos);
  }
  test::setContext("");
}

TEST_CASE(brandText_utf8AndUtf16) {
  struct Row {
    const char* utf8;
    std::u16string utf16;  // for valid rows
    bool valid;
  };
  const Row rows[] = {
      {"plain", u"plain", true},
      {"caf\xc3\xa9 \xe2\x82\xac", u"caf\u00e9 \u20ac", true},
      {"\xf0\x9f\x98\x80", u"\U0001F600", true},
      {"\xc3", u"", false},                // cut short
      {"\xc0\xaf", u"", false},            // overlong
      {"\xed\xa0\x80", u"", false},        // a surrogate
      {"\xf4\x90\x80\x80", u"", false},    // beyond U+10FFFF
      {"\xe9t\xe9", u"", false},           // Windows-1252, not UTF-8
      {"a\x80", u"", false},               // a lone continuation byte
  };
  for (const Row& row : rows) {
    test::setContext(row.utf8);
    std::u16string wide;
    CHECK_EQ(utf8ToUtf16(row.utf8, wide), row.valid);
    if (!row.valid) continue;
    CHECK(wide == row.utf16);
    CHECK_EQ(utf16ToUtf8(wide), std::string(row.utf8));
  }
  test::setContext("");
  CHECK_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), std::string("\xef\xbf\xbdx"));
}
