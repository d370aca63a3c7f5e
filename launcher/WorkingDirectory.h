#ifndef LAUNCHER_WORKINGDIRECTORY_H
#define LAUNCHER_WORKINGDIRECTORY_H

#include <string>

namespace launcher {

// Makes the folder of the program at programPath the current folder; failures are ignored.
void applyWorkingDirectory(const std::string& programPath);

}  // namespace launcher

#endif
