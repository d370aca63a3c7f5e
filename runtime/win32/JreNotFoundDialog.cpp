#include "runtime/JreNotFoundDialog.h"

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include "base/ErrorReport.h"
#include "base/Trace.h"
#include "os/Path.h"
#include "os/win32/Handles.h"
#include "runtime/JvmSearch.h"
#include "ui/win32/DialogBase.h"
#include "ui/win32/HyperlinkControl.h"

namespace runtime {

namespace {

// The resizable folder browser needs OLE on the calling thread.
class OleScope {
 public:
  OleScope() : result_(OleInitialize(nullptr)) {}
  ~OleScope() {
    if (SUCCEEDED(result_)) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

 private:
  HRESULT result_;
};

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
static_assert(kBrowseFlags == 0x241, "only file-system folders, resizable, no new-folder button");

class JreNotFoundDialog : public ui::DialogBase {
 public:
  JreNotFoundDialog(const std::string& message, JvmType type)
      : DialogBase(IDD_JRE_NOT_FOUND), jvmType_(type), message_(message) {}

  const std::string& folder() const { return folder_; }
  const std::string& jvmDllPath() const { return jvmDllPath_; }

 private:
  void onInitDialog() override {
    HWND dialog = window();
    downloadLink_.attach(GetDlgItem(dialog, IDC_DOWNLOAD_LINK));
    SetDlgItemTextA(dialog, IDC_NOT_FOUND_MESSAGE, message_.c_str());
    ui::setErrorIcon(dialog, IDC_ERROR_ICON);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    ui::centerOnOwner(dialog);
  }

  bool onCommand(int id) override {
    if (id == IDC_BROWSE) {
      browse();
      return true;
    }
    // OK is enabled only while the last folder holds a VM library; a command that arrives
    // anyway must not hand start-up an empty path.
    return id == IDOK && jvmDllPath_.empty();
  }

  void browse() {
    const std::string title = base::loadText(IDS_BROWSE_TITLE);
    BROWSEINFOA info = {};
    info.hwndOwner = window();
    info.lpszTitle = title.c_str();
    info.ulFlags = kBrowseFlags;
    OleScope ole;
    os::UniqueTaskMemory<ITEMIDLIST> chosen(SHBrowseForFolderA(&info));
    if (!chosen) {
      trace("runtime-not-found dialog: browsing cancelled");
      return;
    }
    char path[MAX_PATH] = {};
    SHGetPathFromIDListA(chosen.get(), path);
    SetDlgItemTextA(window(), IDC_JRE_PATH, path);
    folder_ = path;
    if (!folder_.empty()) folder_ = os::withTrailingSeparator(folder_);
    // No folder is no runtime: an empty one would be searched relative to the current folder.
    bool isServer = false;
    jvmDllPath_ = folder_.empty() ? std::string() : chooseJvmLibrary(folder_, jvmType_, isServer);
    EnableWindow(GetDlgItem(window(), IDOK), jvmDllPath_.empty() ? FALSE : TRUE);
    trace("runtime-not-found dialog: browsed to [%s]: %s", folder_.c_str(),
          jvmDllPath_.empty() ? "no usable VM library" : jvmDllPath_.c_str());
  }

  JvmType jvmType_;
  std::string folder_;      // the last folder browsed to, with a trailing backslash
  std::string jvmDllPath_;  // its VM library; empty when it holds none
  std::string message_;
  ui::HyperlinkControl downloadLink_;
};

}  // namespace

int showJreNotFoundDialog(const std::string& message, JvmType type,
                          std::string& jvmDllPath, std::string& folder) {
  JreNotFoundDialog dialog(message, type);
  const int result = static_cast<int>(dialog.runModal(GetActiveWindow()));
  trace("runtime-not-found dialog: ended with %d", result);
  jvmDllPath = result == kDialogOk ? dialog.jvmDllPath() : std::string();
  folder = result == kDialogOk ? dialog.folder() : std::string();
  return result;
}

}  // namespace runtime
