#ifndef CONFIG_INIKEYS_H
#define CONFIG_INIKEYS_H

// Every section and key the launcher reads, spelled here and nowhere else.

namespace config {

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

constexpr IniKey kApplicationType{kApplication, "Application Type"};
constexpr IniKey kSingleInstance{kApplication, "Single Instance"};
constexpr IniKey kFailureCheck{kApplication, "Failure Check"};
constexpr IniKey kOverrideWorkingDir{kApplication, "Override WorkingDir"};
constexpr IniKey kOutputFile{kApplication, "Output File"};
constexpr IniKey kErrorFile{kApplication, "Error File"};
constexpr IniKey kRestartExitCode{kApplication, "Restart Exit Code"};
constexpr IniKey kMinimumVersion{kJre, "Minimum Version"};
constexpr IniKey kMaximumVersion{kJre, "Maximum Version"};
constexpr IniKey kPreferredVersions{kJre, "Preferred versions"};
constexpr IniKey kJrePath{kJre, "JRE Path"};
constexpr IniKey kJvmType{kJre, "JVM Type"};
constexpr IniKey kJvmSource{kJre, "JVM Source"};
constexpr IniKey kVmProvider{kJre, "VM Provider"};
constexpr IniKey kMainClass{kJre, "Main Class"};
constexpr IniKey kMainModule{kJre, "Main Module"};
constexpr IniKey kSystemPath{kJre, "System Path"};
constexpr IniKey kLibraryPath{kJre, "Library Path"};
constexpr IniKey kVirtualMachineParameters{kJre, "Virtual Machine Parameters"};
constexpr IniKey kClassDataSharing{kJre, "Class Data Sharing"};
constexpr IniKey kProductCode{kProduct, "Product Code"};
constexpr IniKey kProductName{kProduct, "Product Name"};
constexpr IniKey kSplashScreen{kDisplay, "Splash Screen"};
constexpr IniKey kSplashScreenShadow{kDisplay, "Splash Screen Shadow"};
constexpr IniKey kPreferNativeSplash{kDisplay, "Preffer Native Splash Screen"};  // spelled so
constexpr IniKey kClassPath{kClassPathSection, "Class Path"};

}  // namespace ini

}  // namespace config

#endif
