#include "vm/ExceptionDialog.h"

#include <windows.h>

#include <string>
#include <utility>

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

// The text as the edit control shows it: it breaks lines only at CR LF, so a bare LF inside a
// message would show as nothing. Empty when its memory cannot be had.
os::SpareArray<wchar_t> editText(const TraceText& text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");
  os::SpareArray<wchar_t> result;
  if (!result.allocate(2 * text.size() + 1)) return result;
  std::size_t length = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = static_cast<wchar_t>(text.data()[i]);
    if (c == L'\n' && (i == 0 || text.data()[i - 1] != u'\r')) result.data()[length++] = L'\r';
    result.data()[length++] = c;
  }
  result.data()[length] = L'\0';
  return result;
}

class ExceptionDialog : public DialogBase {
 public:
  explicit ExceptionDialog(os::SpareArray<wchar_t> text)
      : DialogBase(IDD_JAVA_EXCEPTION, true), layout_(kLayout), text_(std::move(text)) {}

 private:
  void onInitDialog() override {
    HWND dialog = window();
    // Wide text: the characters stay as the application wrote them, whatever the code page.
    SetWindowTextW(GetDlgItem(dialog, IDC_STACK_TRACE), text_.data());
    SendDlgItemMessageA(dialog, IDC_STACK_TRACE, EM_SETREADONLY, TRUE, 0);
    setErrorIcon(dialog, IDC_ERROR_ICON);
    centerOnOwner(dialog);
    layout_.init(dialog, true, true, WS_CLIPCHILDREN);
  }

  bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    return layout_.handleMessage(message, wParam, lParam, result);
  }

  DialogLayout layout_;
  os::SpareArray<wchar_t> text_;
};

}  // namespace

ExceptionChoice showExceptionDialog(JNIEnv* env, jthrowable throwable) {
  const TraceText text = stackTraceText(env, throwable);
  if (text.empty()) {
    trace("exception dialog: no trace text; not shown");
    return ExceptionChoice::NotShown;
  }
  os::SpareArray<wchar_t> shown = editText(text);
  if (shown.empty()) {
    trace("exception dialog: no memory for a trace of %u characters; not shown",
          static_cast<unsigned>(text.size()));
    return ExceptionChoice::NotShown;
  }
  trace("exception dialog: a trace of %u characters", static_cast<unsigned>(text.size()));
  ExceptionDialog dialog(std::move(shown));
  const INT_PTR result = dialog.runModal(GetActiveWindow());
  trace("exception dialog: ended with %d", static_cast<int>(result));
  return result == IDOK ? ExceptionChoice::Ignore : ExceptionChoice::Stop;
}

}  // namespace vm
