#ifndef RUNTIME_JRENOTFOUNDDIALOG_H
#define RUNTIME_JRENOTFOUNDDIALOG_H

// Shown when no runtime was found: says which runtime is needed, links to a download page, and
// lets the user point at an installed runtime. A modal dialog on Windows; where there is no window
// system, standard error, and a question on the terminal when there is one.

#include <string>

#include "config/LauncherConfig.h"
#include "resources/resource.h"

namespace runtime {

constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;

// Where an end user gets a current free Java runtime.
constexpr const char* kJavaDownloadPage = JAVA_DOWNLOAD_PAGE;

// Returns kDialogOk with the chosen VM library and its folder (ending with a path separator) when
// the user confirmed a runtime that holds a VM library of the configured type; any other result
// means start-up ends.
int showJreNotFoundDialog(const std::string& message, config::JvmType type,
                          std::string& jvmDllPath, std::string& folder);

}  // namespace runtime

#endif
