#include <cstdint>
#include <string>

#include "os/Path.h"
#include "os/Process.h"
#include "tests/unit/Test.h"
#include "vm/OptionText.h"
#include "vm/VmOptions.h"
#include "vm/VmState.h"

using namespace vm;

namespace {

// Paths in the tables are written with "\" and lists with ";"; these give this system's forms.
std::string path(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = os::kPathSeparator;
  }
  return text;
}

std::string list(std::string text) {
  for (char& c : text) {
    if (c == ';') c = os::kListSeparator;
  }
  return text;
}

std::string joined(const StringArray& items) {
  std::string text;
  for (const std::string& item : items) text += "<" + item + ">";
  return text;
}

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

}  // namespace

TEST_CASE(stripPathComponents_cutsAtTheLastSeparators) {
  struct Row {
    const char* path;
    int n;
    const char* expected;
  } rows[] = {
      {"C:\\rt\\bin\\client\\jvm.dll", 2, "C:\\rt\\bin"},
      {"C:\\rt\\bin\\client\\jvm.dll", 3, "C:\\rt"},
      {"C:\\rt\\bin\\server\\jvm.dll", 3, "C:\\rt"},
      {"C:\\rt\\bin\\client\\jvm.dll", 0, "C:\\rt\\bin\\client\\jvm.dll"},
      {"C:\\rt\\bin\\client\\jvm.dll", 4, "C:"},
      {"C:\\rt\\bin\\client\\jvm.dll", 9, "C:"},  // no separator left: unchanged from then on
      {"jvm.dll", 2, "jvm.dll"},
      {"", 3, ""},
      {"\\jvm.dll", 1, ""},
      {"a\\\\b", 1, "a\\"},
  };
  for (const Row& row : rows) {
    test::setContext(std::string(row.path) + " n=" + std::to_string(row.n));
    CHECK_EQ(stripPathComponents(path(row.path), row.n), path(row.expected));
  }
}

TEST_CASE(runtimeLibraryFolder_isTheHomesLib) {
  struct Row {
    const char* library;
    const char* expected;
  } rows[] = {
      {"C:\\rt\\bin\\client\\jvm.dll", "C:\\rt\\lib"},
      {"C:\\Program Files\\Java\\jre6\\bin\\server\\jvm.dll", "C:\\Program Files\\Java\\jre6\\lib"},
      {"\\usr\\lib\\jvm\\j17\\lib\\server\\libjvm.so", "\\usr\\lib\\jvm\\j17\\lib"},
      {"bin\\client\\jvm.dll", "lib"},  // no home folder left: just "lib"
      {"client\\jvm.dll", "lib"},
      {"jvm.dll", "lib"},
  };
  for (const Row& row : rows) {
    test::setContext(row.library);
    CHECK_EQ(runtimeLibraryFolder(path(row.library)), path(row.expected));
  }
}

TEST_CASE(folderOf_keepsTheTrailingSeparator) {
  CHECK_EQ(os::folderOf(path("C:\\apps\\demo\\demo.exe")), path("C:\\apps\\demo\\"));
  CHECK_EQ(os::folderOf(path("\\demo")), path("\\"));
  CHECK_EQ(os::folderOf("demo.exe"), std::string());
}

TEST_CASE(splitVmParameters_spacesOutsideQuotesSeparate) {
  struct Row {
    const char* text;
    const char* expected;
  } rows[] = {
      {"", ""},
      {"   ", ""},
      {"-Xms64m   -Dx=1", "<-Xms64m><-Dx=1>"},
      {"-Dtitle=\"Big App\" -Xmx256m", "<-Dtitle=\"Big App\"><-Xmx256m>"},
      {"  -Da=1  ", "<-Da=1>"},  // neither leading nor trailing spaces make a token
      {"-Da=1\t-Db=2", "<-Da=1\t-Db=2>"},  // only the space character separates
      {"\"a b\" c", "<\"a b\"><c>"},
      {"\"say \"\"hi\"\"\" x", "<\"say \"\"hi\"\"\"><x>"},
      {"-Dx=\"open ended", "<-Dx=\"open><ended>"},  // no closing quote: the space separates
      {"a\"b\"c d", "<a\"b\"c><d>"},
      {"\"\"", "<\"\">"},
      {"x \"\" y", "<x><\"\"><y>"},
      {"-Dp=\"C:\\My App\\lib\" -Dq=\"x y\"z w", "<-Dp=\"C:\\My App\\lib\"><-Dq=\"x y\"z><w>"},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("[") + row.text + "]");
    CHECK_EQ(joined(splitVmParameters(row.text)), std::string(row.expected));
  }
}

TEST_CASE(unquote_removesQuotePairs) {
  struct Row {
    const char* token;
    const char* expected;
  } rows[] = {
      {"-Dapp.dir=\"C:\\My App\"", "-Dapp.dir=C:\\My App"},
      {"\"a b\"\"", "a b\""},
      {"\"say \"\"hi\"\"\"", "say \"hi\""},
      {"-Dtitle=\"Big App\"", "-Dtitle=Big App"},
      {"plain", "plain"},
      {"\"unmatched", "\"unmatched"},
      {"a\"b\"c\"d", "abc\"d"},  // the third quote has no partner and stays
      {"\"\"", ""},
      {"\"a\"\"b\"", "a\"b\""},  // the search goes on after the kept quote
      {"x\"y\"z\"w\"", "xyzw"},
      {"\"\"\"\"", "\"\""},
  };
  for (const Row& row : rows) {
    test::setContext(row.token);
    CHECK_EQ(unquote(row.token), std::string(row.expected));
  }
}

TEST_CASE(isRelativeMemoryOption_nameAndLetterDecide) {
  struct Row {
    const char* token;
    bool expected;
  } rows[] = {
      {"-Xmx50p", true},        {"-Xms50P", true},         {"-Xss25p", true},
      {"-Xmx50:64:1024P", true}, {"-Xms25:128t", true},    {"-Xmx5T", true},
      {"-Xmx50", false},        {"-xmx50p", false},        {"-Xmx50%", false},
      {"-XMX50p", false},       {"-Xmn50p", false},        {"-Xmx50m", false},
      {"-Xm", false},           {"", false},               {"-Xmxp", true},
      {"-Dx=-Xmx5p", false},
  };
  for (const Row& row : rows) {
    test::setContext(row.token);
    CHECK_EQ(isRelativeMemoryOption(row.token), row.expected);
  }
}

TEST_CASE(parseNumberList_colonSeparatedNeverTheLastCharacter) {
  struct Row {
    const char* text;
    std::size_t firstIndex;
    const char* numbers;
  } rows[] = {
      {"-Xmx50:64:1024P", 4, "50,64,1024"},
      {"-Xmx50p", 4, "50"},
      {"-Xmx0:256p", 4, "0,256"},
      {"2m", 0, "2"},
      {"1:2m", 0, "1,2"},
      {"1048576", 0, "104857"},  // the last digit counts as the unit letter
      {"m", 1, ""},
      {"", 0, ""},
      {"-Xmx:5p", 4, "0,5"},
      {"-Xmx5a0p", 4, "50"},  // other characters are skipped
      {"-Xmx5p5", 4, "5"},
      {"abc", 3, ""},
      {"7", 0, "0"},  // the only digit is the unit position
      {"4294967296k", 0, "0"},  // 32-bit arithmetic wraps, and says so (below)
  };
  for (const Row& row : rows) {
    test::setContext(std::string("[") + row.text + "]");
    const NumberList parsed = parseNumberList(row.text);
    CHECK_EQ(parsed.firstIndex, row.firstIndex);
    std::string numbers;
    for (std::size_t i = 0; i < parsed.numbers.size(); ++i) {
      numbers += (i == 0 ? "" : ",") + std::to_string(parsed.numbers[i]);
    }
    CHECK_EQ(numbers, std::string(row.numbers));
    CHECK_EQ(parsed.overflow, std::string(row.text) == "4294967296k");
  }
  CHECK(!parseNumberList("-Xmx4294967295:1p").overflow);
}

TEST_CASE(resolveMemoryOption_percentagesBoundsAndArithmetic) {
  struct Row {
    const char* token;
    std::uint64_t physical;
    std::uint64_t freeVirtual;
    MemoryArithmetic arithmetic;
    const char* expected;  // null: a number does not fit, and the token stays as written
  } rows[] = {
      {"-Xmx50:64:512p", 2 * kGiB, 0, MemoryArithmetic::Wide64, "-Xmx524288K"},
      {"-Xmx50:64:512p", 2 * kGiB, 0, MemoryArithmetic::Narrow32, "-Xmx524288K"},
      {"-Xmx50p", 2 * kGiB, 0, MemoryArithmetic::Wide64, "-Xmx1048576K"},
      {"-Xmx0:256p", 64 * kGiB, 0, MemoryArithmetic::Wide64, "-Xmx262144K"},
      {"-Xmx0:256p", 1 * kGiB, 0, MemoryArithmetic::Narrow32, "-Xmx262144K"},
      {"-Xmx10:512:256p", 64 * kGiB, 0, MemoryArithmetic::Wide64, "-Xmx524288K"},
      {"-Xmx10:512:256p", 1 * kGiB, 0, MemoryArithmetic::Narrow32, "-Xmx524288K"},
      {"-Xms25:128t", 8 * kGiB, 1 * kGiB, MemoryArithmetic::Wide64, "-Xms262144K"},
      {"-Xms25:128T", 8 * kGiB, 256ull << 20, MemoryArithmetic::Wide64, "-Xms131072K"},
      {"-Xss25p", 4 * kGiB, 0, MemoryArithmetic::Wide64, "-Xss1048576K"},
      {"-Xmx33p", 3000ull * 1024, 0, MemoryArithmetic::Wide64, "-Xmx990K"},  // truncated
      {"-Xmxp", 2 * kGiB, 0, MemoryArithmetic::Wide64, "-Xmxp0K"},
      // 64-bit figures: 8 TiB of free address space, or 64 GiB of memory, stay whole.
      {"-Xmx50t", 0, 8192 * kGiB, MemoryArithmetic::Wide64, "-Xmx4294967296K"},
      {"-Xmx100p", 64 * kGiB, 0, MemoryArithmetic::Wide64, "-Xmx67108864K"},
      // The 32-bit launcher works with 32-bit figures and prints a signed number.
      {"-Xmx50t", 0, 0xFFFFFFFFull, MemoryArithmetic::Narrow32, "-Xmx2097151K"},
      {"-Xmx0:4194304p", 1 * kGiB, 0, MemoryArithmetic::Wide64, "-Xmx4294967296K"},
      {"-Xmx200:1:1p", 0xFFFFFFFFull, 0, MemoryArithmetic::Narrow32, "-Xmx1024K"},
      // Numbers that do not fit: in the text, or in the size the build can express.
      {"-Xmx60000p", 0xFFFFFFFFull, 0, MemoryArithmetic::Narrow32, nullptr},
      {"-Xmx0:4194304p", 1 * kGiB, 0, MemoryArithmetic::Narrow32, nullptr},
      {"-Xmx50:99999999999999999999:1p", 8 * kGiB, 0, MemoryArithmetic::Wide64, nullptr},
      {"-Xmx4294967296p", 8 * kGiB, 0, MemoryArithmetic::Wide64, nullptr},
      {"-Xmx4000000000t", 0, 1ull << 47, MemoryArithmetic::Wide64, nullptr},
      {"-Xss-5t", 0, 1ull << 47, MemoryArithmetic::Wide64, nullptr},
      {"-Xss5:8192p", 8 * kGiB, 0, MemoryArithmetic::Wide64, nullptr},
  };
  for (const Row& row : rows) {
    test::setContext(std::string(row.token) +
                     (row.arithmetic == MemoryArithmetic::Wide64 ? " wide" : " narrow"));
    std::string resolved;
    CHECK_EQ(resolveMemoryOption(row.token, row.physical, row.freeVirtual, resolved,
                                 row.arithmetic),
             row.expected != nullptr);
    CHECK_EQ(resolved, std::string(row.expected != nullptr ? row.expected : row.token));
  }
}

TEST_CASE(memoryArithmetic_followsTheWordSize) {
  CHECK(kMemoryArithmetic == (sizeof(void*) == 4 ? MemoryArithmetic::Narrow32
                                                 : MemoryArithmetic::Wide64));
}

TEST_CASE(parseStackSize_unitsAndRefusals) {
  const std::uint32_t kUnchanged = 12345;
  struct Row {
    const char* text;
    bool parsed;
    std::uint32_t expected;
  } rows[] = {
      {"2m", true, 2097152},
      {"2M", true, 2097152},
      {"512k", true, 524288},
      {"1g", true, 1073741824},
      {"262144K", true, 268435456},
      {"1048576", true, 1048576},  // no unit letter: read whole
      {"8", true, 8},
      {"100b", true, 100},  // an unknown letter counts bytes
      {"3g", true, 3221225472u},
      {"1:2m", false, kUnchanged},
      {"1:2", false, kUnchanged},
      {"x2m", false, kUnchanged},
      {"m", false, kUnchanged},
      {"", false, kUnchanged},
      {":5m", false, kUnchanged},
      {"5g", false, kUnchanged},  // beyond 32 bits: neither wrapped nor held at the largest
      {"4294967296", false, kUnchanged},
      {"-6871946384K", false, kUnchanged},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("[") + row.text + "]");
    std::uint32_t size = kUnchanged;
    CHECK_EQ(parseStackSize(row.text, size), row.parsed);
    CHECK_EQ(size, row.expected);
  }
}

TEST_CASE(composeLibraryPath_piecesInOrderWithSeparatorsAtTheJoins) {
  struct Row {
    const char* label;
    const char* libraryPath;
    const char* launcherFolder;
    const char* inherited;
    bool inheritedEndsWithSeparator;
    const char* expected;
  } rows[] = {
      {"plain", "C:\\libs", "C:\\app\\", "%Path%", false, "C:\\libs;C:\\app\\;.;%Path%;C:\\rt\\lib"},
      {"setting ends with separator", "C:\\libs;", "C:\\app\\", "%Path%", false,
       "C:\\libs;C:\\app\\;.;%Path%;C:\\rt\\lib"},
      {"inherited ends with separator", "C:\\libs", "C:\\app\\", "%Path%", true,
       "C:\\libs;C:\\app\\;.;%Path%C:\\rt\\lib"},
      {"no launcher folder", "C:\\libs", "", "%Path%", false, "C:\\libs;.;%Path%;C:\\rt\\lib"},
      {"empty inherited path", "C:\\libs", "C:\\app\\", "", false, "C:\\libs;C:\\app\\;.;C:\\rt\\lib"},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    CHECK_EQ(composeLibraryPath(list(row.libraryPath), row.launcherFolder, row.inherited,
                                row.inheritedEndsWithSeparator, "C:\\rt\\lib"),
             list(row.expected));
  }
}

TEST_CASE(composeSearchPath_systemPathFirstRuntimeLast) {
  struct Row {
    const char* systemPath;
    const char* inherited;
    const char* expected;
  } rows[] = {
      {"C:\\a;C:\\b", "%Path%", "C:\\a;C:\\b;%Path%;C:\\rt\\bin"},
      {"C:\\a;", "%Path%", "C:\\a;%Path%;C:\\rt\\bin"},
      {"", "%Path%", "%Path%;C:\\rt\\bin"},
      {"C:\\a", "", "C:\\a;C:\\rt\\bin"},
      {"", "", "C:\\rt\\bin"},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("[") + row.systemPath + "] [" + row.inherited + "]");
    CHECK_EQ(composeSearchPath(list(row.systemPath), row.inherited, "C:\\rt\\bin"),
             list(row.expected));
  }
}

TEST_CASE(prepareEnvironment_setsTheVariablesAndTheLibraryPathOption) {
  std::string savedPath;
  const bool hadPath = os::getEnvironment(os::kPathVariable, savedPath);
  std::string program;
  unsigned long error = 0;
  CHECK(os::modulePath(program, error));
  const std::string ownFolder = os::folderOf(program);

  struct Row {
    const char* label;
    const char* inheritedPath;
    const char* systemPath;
    const char* libraryPath;
    const char* expectedPath;
    const char* expectedLibraryPath;  // null: no library-path option
  } rows[] = {
      {"system path", "C:\\Windows", "C:\\a;C:\\b", "", "C:\\a;C:\\b;C:\\Windows;C:\\rt\\bin", nullptr},
      {"system path with separator", "C:\\Windows", "C:\\a;", "", "C:\\a;C:\\Windows;C:\\rt\\bin",
       nullptr},
      {"no system path", "C:\\Windows", "", "", "C:\\Windows;C:\\rt\\bin", nullptr},
      {"library path", "C:\\Windows", "", "C:\\libs", "C:\\Windows;C:\\rt\\bin",
       "C:\\libs;<own>;.;C:\\Windows;C:\\rt\\lib"},
      {"library path, inherited ends with separator", "C:\\Windows;", "", "C:\\libs;",
       "C:\\Windows;;C:\\rt\\bin", "C:\\libs;<own>;.;C:\\Windows;C:\\rt\\lib"},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    os::setEnvironment(os::kPathVariable, path(list(row.inheritedPath)));
    config::LauncherConfig config;
    config.programPath = program;
    config.systemPath = path(list(row.systemPath));
    config.libraryPath = path(list(row.libraryPath));
    VmState vm;
    vm.jvmDllPath = path("C:\\rt\\bin\\client\\jvm.dll");
    prepareEnvironment(config, vm);

    std::string value;
    CHECK(os::getEnvironment("QL_JVM_PATH", value));
    CHECK_EQ(value, path("C:\\rt\\bin\\client\\jvm.dll"));
    CHECK(os::getEnvironment("QL_JVM_HOME", value));
    CHECK_EQ(value, path("C:\\rt"));
    CHECK(os::getEnvironment(os::kPathVariable, value));
    CHECK_EQ(value, path(list(row.expectedPath)));
    if (row.expectedLibraryPath == nullptr) {
      CHECK_EQ(vm.options.size(), std::size_t(0));
    } else {
      std::string expected = path(list(row.expectedLibraryPath));
      expected.replace(expected.find("<own>"), 5, ownFolder);
      CHECK_EQ(vm.options.size(), std::size_t(1));
      if (vm.options.size() == 1) CHECK_EQ(vm.options[0], "-Djava.library.path=" + expected);
    }
  }
  if (hadPath) os::setEnvironment(os::kPathVariable, savedPath);
}

TEST_CASE(javaCommandLineForms_moduleOptionsAndWildcards) {
  // Joined where java takes the value as the next word; an option already joined, or last, stays.
  const StringArray joined = joinModuleOptions(
      {"-p", "mods", "--add-opens", "a/b=c", "--add-modules=x", "-Xmx1g", "--limit-modules"});
  CHECK(joined == (StringArray{"--module-path=mods", "--add-opens=a/b=c", "--add-modules=x",
                               "-Xmx1g", "--limit-modules"}));
  // Only "*" alone or after a separator is java's wildcard (the end-to-end tests list folders).
  std::string folder;
  CHECK(classPathWildcard("*", folder) && folder.empty());
  for (const char* entry : {"lib*", "lib/*.jar", "lib/**", ""}) {
    CHECK(!classPathWildcard(entry, folder));
  }
  CHECK(wildcardJars({"b.jar", "notes.txt", "A.JAR", ".jar", "c.Jar", "x.jarx"}) ==
        (StringArray{"A.JAR", "b.jar", "c.Jar"}));
}
