#ifndef CONFIG_INIKEYS_H
#define CONFIG_INIKEYS_H

// Every section and key the launcher reads, spelled here and nowhere else.

struct IniKey {
  const char* section;
  const char* key;
};

namespace ini {

constexpr const char* kApplication = "Application";
constexpr const char* kJre = "Java Runtime Environment";
constexpr const char* kProduct = "Product Information";
constexpr const char* kDisplay = "Display";
constexpr const char* kClassPathSection = "Class Path";

constexpr IniKey ApplicationType{kApplication, "Application Type"};
constexpr IniKey SingleInstance{kApplication, "Single Instance"};
constexpr IniKey FailureCheck{kApplication, "Failure Check"};
constexpr IniKey OverrideWorkingDir{kApplication, "Override WorkingDir"};
constexpr IniKey OutputFile{kApplication, "Output File"};
constexpr IniKey ErrorFile{kApplication, "Error File"};
constexpr IniKey MinimumVersion{kJre, "Minimum Version"};
constexpr IniKey MaximumVersion{kJre, "Maximum Version"};
constexpr IniKey PreferredVersions{kJre, "Preferred versions"};
constexpr IniKey JrePath{kJre, "JRE Path"};
constexpr IniKey JvmTypeKey{kJre, "JVM Type"};
constexpr IniKey JvmSource{kJre, "JVM Source"};
constexpr IniKey VmProvider{kJre, "VM Provider"};
constexpr IniKey MainClass{kJre, "Main Class"};
constexpr IniKey SystemPath{kJre, "System Path"};
constexpr IniKey LibraryPath{kJre, "Library Path"};
constexpr IniKey VirtualMachineParameters{kJre, "Virtual Machine Parameters"};
constexpr IniKey ClassDataSharing{kJre, "Class Data Sharing"};
constexpr IniKey ProductCode{kProduct, "Product Code"};
constexpr IniKey ProductName{kProduct, "Product Name"};
constexpr IniKey SplashScreen{kDisplay, "Splash Screen"};
constexpr IniKey SplashScreenShadow{kDisplay, "Splash Screen Shadow"};
constexpr IniKey PreferNativeSplash{kDisplay, "Preffer Native Splash Screen"};  // spelled so
constexpr IniKey ClassPath{kClassPathSection, "Class Path"};

}  // namespace ini

#endif
