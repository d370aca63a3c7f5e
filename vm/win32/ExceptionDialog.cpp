#include "vm/ExceptionDialog.h"

#include <windows.h>

#include <string>

#include "base/Trace.h"
#include "resources/resource.h"
#include "ui/win32/DialogBase.h"
#include "ui/win32/DialogLayout.h"
#include "vm/StackTrace.h"

namespace vm {

namespace {

using namespace ui;

// The size grip comes first; the layout adds it itself.
constexpr LayoutRow kLayout[] = {
    {IDC_EXCEPTION_GROUP, SizeX | SizeY},
    {IDC_EXCEPTION_INTRO, SizeX},
    {IDC_EXCEPTION_WARNING, SizeX | MoveY},
    {IDC_EXCEPTION_CHOICE, SizeX | MoveY},
    {IDC_STACK_TRACE, SizeX | SizeY},
    {IDOK, MoveX | MoveY},
    {IDCANCEL, MoveX | MoveY},
    {-1, 0},
};

// An edit control breaks lines only at CR LF; a bare LF inside a message would show as nothing.
std::wstring editText(const std::u16string& text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");
  std::wstring result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = static_cast<wchar_t>(text[i]);
    if (c == L'\n' && (i == 0 || text[i - 1] != u'\r')) result += L'\r';
    result += c;
  }
  return result;
}

class ExceptionDialog : public DialogBase {
 public:
  explicit ExceptionDialog(const std::u16string& text)
      : DialogBase(IDD_JAVA_EXCEPTION, true), layout_(kLayout), text_(editText(text)) {}

 private:
  void onInitDialog() override {
    HWND dialog = window();
    // Wide text: the characters stay as the application wrote them, whatever the code page.
    SetWindowTextW(GetDlgItem(dialog, IDC_STACK_TRACE), text_.c_str());
    SendDlgItemMessageA(dialog, IDC_STACK_TRACE, EM_SETREADONLY, TRUE, 0);
    setErrorIcon(dialog, IDC_ERROR_ICON);
    centerOnOwner(dialog);
    layout_.init(dialog, true, true, WS_CLIPCHILDREN);
  }

  bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    return layout_.handleMessage(message, wParam, lParam, result);
  }

  DialogLayout layout_;
  std::wstring text_;
};

}  // namespace

bool showExceptionDialog(JNIEnv* env, jthrowable throwable) {
  const std::u16string text = stackTraceText(env, throwable);
  if (text.empty()) {
    trace("exception dialog: no trace text; not shown");
    return false;
  }
  trace("exception dialog: a trace of %u characters", static_cast<unsigned>(text.size()));
  ExceptionDialog dialog(text);
  const INT_PTR result = dialog.runModal(GetActiveWindow());
  trace("exception dialog: ended with %d", static_cast<int>(result));
  return result != IDOK;
}

}  // namespace vm
