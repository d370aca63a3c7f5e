#ifndef RUNTIME_JRENOTFOUNDDIALOG_H
#define RUNTIME_JRENOTFOUNDDIALOG_H

// Shown when no runtime was found: says which runtime is needed and lets the user pick a folder.

#include <string>

#include "config/LauncherConfig.h"

class Launcher;

constexpr int kDialogOk = 1;

// The Java runtime download page the user is sent to.
constexpr const char* kJavaDownloadPage = "https://www.java.com/download/";

// Modal. Returns kDialogOk with the chosen VM library and folder (ending with a path separator)
// when the user confirmed a runtime.
int showJreNotFoundDialog(Launcher& launcher, const std::string& message, JvmType type,
                          std::string& jvmDllPath, std::string& folder);

#endif
