#include "vm/VmHost.h"

#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"

// Placeholders until the VM host exists: no Java VM can be loaded.
bool loadJvmLibrary(Launcher& launcher) {
  showError(launcher.messageParent, "Loading the Java VM is not available in this build.");
  return false;
}

std::uint32_t runVmThread(Launcher&) { return 1; }

void destroyVm(Launcher&) {}

jstring newPlatformString(JNIEnv*, const std::string&) { return nullptr; }

jobjectArray newPlatformStringArray(JNIEnv*, const StringArray&) { return nullptr; }
