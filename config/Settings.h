#ifndef CONFIG_SETTINGS_H
#define CONFIG_SETTINGS_H

// The program INI file beside the executable and the per-user INI file that may hold "JRE Path".

#include <string>

#include "config/IniKeys.h"
#include "config/LauncherConfig.h"

namespace config {

// Works out config.programPath and config.iniPath, once for the whole start. False when the
// program path is unavailable (reported) or, on Windows, holds no "." to form the INI name.
bool locateProgram(LauncherConfig& config);

// The program INI: the program path with the extension of its file name replaced by "ini" (".ini"
// appended when the file name has none on POSIX). False when it cannot be formed.
bool iniPathFor(const std::string& program, std::string& path);

// Where the per-user INI of the program at `program` lives below settingsFolder (APPDATA on
// Windows): the product folder, the product code folder inside it, and the file. A name of the
// two (the code may hold several) that is nothing but dots and blanks, such as "." or "..", is
// left out, so that the folders never lie outside settingsFolder.
struct UserIniLocation {
  std::string productFolder;
  std::string codeFolder;
  std::string path;
};
UserIniLocation userIniPathFor(const std::string& program, const std::string& settingsFolder,
                               const std::string& productName, const std::string& productCode);

// The per-user INI path. With create, its two folders below the per-user settings folder are
// created first, failures ignored.
std::string getUserIniPath(const LauncherConfig& config, bool create);

// One value of the INI file at iniPath; empty when absent.
std::string readSetting(const std::string& iniPath, const IniKey& key);

// Fills config from the INI files (config.iniPath set). False after "Main class was not specified
// in INI file." has been shown (neither "Main Class" nor "Main Module" is set).
bool readSettings(LauncherConfig& config);

// Remembers the runtime folder the user chose. Failures are ignored.
void storeJrePath(const LauncherConfig& config, const std::string& folder);

// The conversion tables, exposed for their tests.
JvmType parseJvmType(const std::string& value);
void applyJvmSource(const std::string& value, LauncherConfig& config);
void applyVmProvider(const std::string& value, LauncherConfig& config);
bool isYes(const std::string& value);  // "Yes" in any case
// A decimal exit code with an optional sign, blanks around it allowed; false for anything else
// and for numbers beyond 32 bits.
bool parseExitCode(const std::string& value, std::int32_t& code);
// Product Name without the nine characters a folder name cannot hold.
std::string folderSafeName(const std::string& name);

}  // namespace config

#endif
