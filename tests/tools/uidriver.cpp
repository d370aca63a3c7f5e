// A small driver for end-to-end tests under Wine: starts a program, reads every dialog box that the
// program shows (message boxes and dialogs, both of class "#32770"), saves a picture of it,
// dismisses it, and writes what it saw and the program's exit code to a result file as JSON.
//
// uidriver.exe --out FILE --shots FOLDER --name LABEL [--timeout MS] [--button ok|cancel]
//              [--no-boxes] [--env NAME=VALUE]... [--unset NAME]... [--cmdline RAW] PROGRAM [ARG...]
// With --cmdline the program's command line is the quoted program path, a space and RAW exactly
// (an empty RAW: the quoted path alone);
// otherwise the arguments after PROGRAM are appended, each quoted when it holds blanks.
// --no-boxes leaves the program's windows alone (the test drives them itself); the exit code is
// still reported exactly, which the Unix exit status of wine64 cannot do.
//
// uidriver.exe --interactive [--stdout FILE] [--stderr FILE] [--env ...] [--cmdline RAW] PROGRAM ...
// starts the program and then takes commands, one a line on standard input (fields separated by
// tabs, text in UTF-8), and answers each with one line of JSON on standard output; the program's
// own output goes to the files given. Window handles are decimal numbers. Commands:
//   wait-dialog TITLE MS       a visible dialog of the program with that caption, once it has
//                              processed its messages: {"hwnd"}
//   wait-window CLASS MS       a visible top-level window of the program of that class: {"hwnd"}
//   windows CLASS              every top-level window of the program of that class, shown or
//                              not: {"windows"}
//   info HWND                  the window and every control below it: id, class, text, style,
//                              extended style, window and client rectangles (screen), visibility,
//                              owner, and the class style of its window class
//   shot HWND NAME             a picture of the window as on screen: {"path"} (a BMP)
//   press HWND ID              clicks a visible, enabled button of the dialog
//   key HWND VK                a key press for the dialog, sent where its keyboard focus is
//   close HWND                 the close box (SC_CLOSE)
//   resize HWND W H            SetWindowPos to that size; answers the rectangles read back
//   show HWND SW               ShowWindowAsync (SW_MAXIMIZE 3, SW_RESTORE 9)
//   post HWND MSG WPARAM LPARAM
//   tooltips                   the program's tooltip windows, their owners and their tools
//   workarea                   the desktop work area
//   tree-select HWND NAME...   in the tree view below HWND: from the root, each item by its text
//                              (any case), expanded, then the last one selected as a click would
//   gone HWND MS               waits until the window no longer exists
//   wait-exit MS               waits for the program's end: {"exit_code"}
//   quit                       ends the program if it still runs, then the driver

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Box {
  HWND window = nullptr;
  std::wstring text;
  std::wstring caption;
  std::string controls;  // JSON array of the child controls, for dialogs that are no message box
  std::wstring shot;
  std::string pressed;
  DWORD seenAfter = 0;  // milliseconds from the start of the program
  DWORD goneAfter = 0;  // when the box was found destroyed after the button press; 0: never seen so
};

// Wide throughout, so arguments outside the code page reach the program unchanged.
struct Options {
  std::wstring out;
  std::wstring shots;
  std::wstring name = L"run";
  std::wstring cmdline;
  bool haveCmdline = false;
  DWORD timeout = 60000;
  bool cancel = false;
  bool watchBoxes = true;
  bool interactive = false;
  std::wstring childStdout;
  std::wstring childStderr;
  std::vector<std::wstring> environment;  // NAME=VALUE to set, or NAME alone to remove
  std::wstring program;
  std::vector<std::wstring> args;
};

// JSON text from UTF-16: everything outside printable ASCII becomes a \u escape, so the reader
// gets the exact characters whatever the code page.
std::string jsonString(const std::wstring& text) {
  std::string result = "\"";
  for (wchar_t unit : text) {
    const unsigned c = static_cast<unsigned>(unit) & 0xFFFF;
    if (c == '"' || c == '\\') {
      result += '\\';
      result += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      result += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      result += escaped;
    }
  }
  return result + "\"";
}

std::string jsonString(const std::string& text) {
  std::wstring wide;
  for (unsigned char c : text) wide += static_cast<wchar_t>(c);
  return jsonString(wide);
}

std::wstring windowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 2, L'\0');
  const int copied = GetWindowTextW(window, buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

std::string className(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

struct ChildScan {
  std::vector<HWND> children;
};

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
  reinterpret_cast<ChildScan*>(param)->children.push_back(child);
  return TRUE;
}

// The message box text: the static control 0xFFFF, or else the longest visible static text.
void readBox(Box& box) {
  box.caption = windowText(box.window);
  ChildScan scan;
  EnumChildWindows(box.window, collectChild, reinterpret_cast<LPARAM>(&scan));
  box.controls = "[";
  std::wstring longestStatic;
  bool haveMessageStatic = false;
  for (std::size_t i = 0; i < scan.children.size(); ++i) {
    HWND child = scan.children[i];
    const std::string kind = className(child);
    const int id = GetDlgCtrlID(child);
    const std::wstring text = windowText(child);
    if (i > 0) box.controls += ",";
    char idText[16];
    std::snprintf(idText, sizeof idText, "%d", id);
    box.controls += "{\"id\":";
    box.controls += idText;
    box.controls += ",\"class\":" + jsonString(kind) + ",\"text\":" + jsonString(text) +
                    ",\"visible\":" + (IsWindowVisible(child) ? "true" : "false") +
                    ",\"enabled\":" + (IsWindowEnabled(child) ? "true" : "false") + "}";
    if (lstrcmpiA(kind.c_str(), "Static") == 0) {
      if ((id & 0xFFFF) == 0xFFFF && !text.empty() && !haveMessageStatic) {
        box.text = text;
        haveMessageStatic = true;
      }
      if (IsWindowVisible(child) && text.size() > longestStatic.size()) longestStatic = text;
    }
  }
  box.controls += "]";
  if (!haveMessageStatic) {
    // GetDlgItemTextA reaches the text even where the control is not a plain static.
    wchar_t buffer[4096] = {};
    if (GetDlgItemTextW(box.window, 0xFFFF, buffer, 4096) > 0) {
      box.text = buffer;
    } else {
      box.text = longestStatic;
    }
  }
}

bool writeBitmap(const std::wstring& path, HBITMAP bitmap, HDC dc, int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) * static_cast<DWORD>(height));
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) == 0) {
    return false;
  }
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  info.bmiHeader.biSizeImage = static_cast<DWORD>(pixels.size());
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
            std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
            std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
  ok = std::fclose(out) == 0 && ok;
  return ok;
}

// A copy of the box as it is on the screen; an empty name when it could not be made.
std::wstring screenshot(HWND window, const Options& options, int number) {
  if (options.shots.empty()) return std::wstring();
  RECT rect = {};
  if (!GetWindowRect(window, &rect)) return std::wstring();
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return std::wstring();
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  // The screen copy shows what the user sees; PrintWindow stands in when the copy fails.
  if (!BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY)) {
    PrintWindow(window, memory, 0);
  }
  SelectObject(memory, old);
  wchar_t name[32];
  wsprintfW(name, L"-%d.bmp", number);
  std::wstring path = options.shots;
  if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += options.name + name;
  const bool written = writeBitmap(path, bitmap, memory, width, height);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written ? path : std::wstring();
}

bool buttonUsable(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button);
}

// Presses the wanted button (or else the other one) as a user would; a box with neither is closed
// like with its title-bar X.
std::string dismiss(HWND dialog, bool cancel) {
  const int order[2] = {cancel ? IDCANCEL : IDOK, cancel ? IDOK : IDCANCEL};
  for (int id : order) {
    if (buttonUsable(dialog, id)) {
      // Posted, not sent: a press that opens the next modal box must not block the driver.
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
      return id == IDOK ? "ok" : "cancel";
    }
  }
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  return "close";
}

struct WindowScan {
  DWORD processId;
  std::vector<HWND> dialogs;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM param) {
  WindowScan* scan = reinterpret_cast<WindowScan*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == scan->processId && IsWindowVisible(window) && className(window) == "#32770") {
    scan->dialogs.push_back(window);
  }
  return TRUE;
}

std::wstring quoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  return L"\"" + arg + L"\"";
}

bool parseOptions(int argc, wchar_t** argv, Options& options) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--out" && hasValue) {
      options.out = argv[++i];
    } else if (arg == L"--shots" && hasValue) {
      options.shots = argv[++i];
    } else if (arg == L"--name" && hasValue) {
      options.name = argv[++i];
    } else if (arg == L"--timeout" && hasValue) {
      options.timeout = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    } else if (arg == L"--cmdline" && hasValue) {
      options.cmdline = argv[++i];
      options.haveCmdline = true;
    } else if (arg == L"--button" && hasValue) {
      const std::wstring button = argv[++i];
      if (button != L"ok" && button != L"cancel") return false;
      options.cancel = button == L"cancel";
    } else if (arg == L"--env" && hasValue) {
      const std::wstring assignment = argv[++i];
      if (assignment.find(L'=') == std::wstring::npos || assignment[0] == L'=') return false;
      options.environment.push_back(assignment);
    } else if (arg == L"--unset" && hasValue) {
      options.environment.push_back(argv[++i]);
    } else if (arg == L"--no-boxes") {
      options.watchBoxes = false;
    } else if (arg == L"--interactive") {
      options.interactive = true;
    } else if (arg == L"--stdout" && hasValue) {
      options.childStdout = argv[++i];
    } else if (arg == L"--stderr" && hasValue) {
      options.childStderr = argv[++i];
    } else if (arg == L"--") {
      ++i;
      break;
    } else if (arg.compare(0, 2, L"--") == 0) {
      return false;
    } else {
      break;
    }
  }
  if (i >= argc) return false;
  options.program = argv[i++];
  for (; i < argc; ++i) options.args.push_back(argv[i]);
  if (options.haveCmdline && !options.args.empty()) return false;
  return options.interactive || !options.out.empty();
}


// ---- interactive mode -------------------------------------------------------------------------

std::string number(long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", value);
  return text;
}

std::string handleText(HWND window) {
  return number(static_cast<long long>(reinterpret_cast<std::uintptr_t>(window)));
}

HWND parseHandle(const std::string& text) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(text.c_str(), nullptr, 10)));
}

std::string jsonRect(const RECT& r) {
  return "[" + number(r.left) + "," + number(r.top) + "," + number(r.right) + "," + number(r.bottom) + "]";
}

std::wstring fromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

// The text of a window of another process: GetWindowText would only give its caption, so the
// window is asked itself.
std::wstring remoteText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return std::wstring();
  }
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 2, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  return std::wstring(buffer.data(), static_cast<std::size_t>(copied));
}

// The client rectangle in screen coordinates.
RECT screenClient(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return client;
}

std::string windowJson(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return "\"hwnd\":" + handleText(window) + ",\"id\":" + number(GetDlgCtrlID(window)) +
         ",\"class\":" + jsonString(className(window)) + ",\"text\":" + jsonString(remoteText(window)) +
         ",\"style\":" + number(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) +
         ",\"exstyle\":" + number(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE))) +
         ",\"rect\":" + jsonRect(rect) + ",\"client\":" + jsonRect(screenClient(window)) +
         ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") +
         ",\"enabled\":" + (IsWindowEnabled(window) ? "true" : "false") +
         ",\"parent\":" + handleText(GetAncestor(window, GA_PARENT)) +
         ",\"owner\":" + handleText(GetWindow(window, GW_OWNER)) +
         ",\"class_style\":" + number(static_cast<DWORD>(GetClassLongW(window, GCL_STYLE)));
}

// Lets the window's thread work through what it was sent and paint, so what is read next is what
// the user would see.
void settle(HWND window) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(100);
}

struct TopLevelScan {
  DWORD processId;
  const char* wantedClass;
  std::vector<HWND> windows;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM param) {
  TopLevelScan* scan = reinterpret_cast<TopLevelScan*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == scan->processId && className(window) == scan->wantedClass) scan->windows.push_back(window);
  return TRUE;
}

std::vector<HWND> topLevelWindows(DWORD processId, const char* wantedClass) {
  TopLevelScan scan = {processId, wantedClass, {}};
  EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&scan));
  return scan.windows;
}

// Memory in the program's address space, for messages whose parameter is a pointer.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, std::size_t size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  ~RemoteMemory() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  void* get() const { return address_; }
  char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool write(std::size_t offset, const void* data, std::size_t size) const {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }
  bool read(std::size_t offset, void* data, std::size_t size) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }

 private:
  HANDLE process_;
  void* address_;
};

std::string tooltipsJson(HANDLE process, DWORD processId) {
  std::string out = "{\"tooltips\":[";
  bool first = true;
  for (HWND tip : topLevelWindows(processId, "tooltips_class32")) {
    if (!first) out += ",";
    first = false;
    out += "{" + windowJson(tip) + ",\"tools\":[";
    DWORD_PTR count = 0;
    SendMessageTimeoutW(tip, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    RemoteMemory memory(process, 4096);
    const std::size_t textOffset = 1024;
    for (DWORD_PTR i = 0; i < count && memory.get() != nullptr; ++i) {
      TOOLINFOA tool = {};
      tool.cbSize = TTTOOLINFOA_V2_SIZE;
      tool.lpszText = memory.at(textOffset);
      const char none[1] = {0};
      memory.write(textOffset, none, 1);
      memory.write(0, &tool, sizeof tool);
      DWORD_PTR found = 0;
      SendMessageTimeoutW(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(memory.get()),
                          SMTO_ABORTIFHUNG, 5000, &found);
      char text[1024] = {};
      if (!found || !memory.read(0, &tool, sizeof tool) || !memory.read(textOffset, text, sizeof text - 1)) {
        continue;
      }
      out += std::string(i > 0 ? "," : "") + "{\"hwnd\":" + handleText(tool.hwnd) +
             ",\"id\":" + number(static_cast<long long>(tool.uId)) + ",\"rect\":" + jsonRect(tool.rect) +
             ",\"text\":" + jsonString(std::string(text)) + "}";
    }
    out += "]}";
  }
  return out + "]}";
}

// The texts of a tree view's items, read through memory in the program.
class RemoteTree {
 public:
  RemoteTree(HANDLE process, HWND tree) : tree_(tree), memory_(process, 4096) {}

  HTREEITEM next(HTREEITEM item, WPARAM relation) const {
    DWORD_PTR found = 0;
    SendMessageTimeoutW(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item),
                        SMTO_ABORTIFHUNG, 5000, &found);
    return reinterpret_cast<HTREEITEM>(found);
  }

  std::wstring text(HTREEITEM item) const {
    const std::size_t textOffset = 512;
    TVITEMW request = {};
    request.mask = TVIF_TEXT | TVIF_HANDLE;
    request.hItem = item;
    request.pszText = reinterpret_cast<LPWSTR>(memory_.at(textOffset));
    request.cchTextMax = 1024;
    wchar_t text[1025] = {};
    DWORD_PTR done = 0;
    if (memory_.get() == nullptr || !memory_.write(0, &request, sizeof request) ||
        !SendMessageTimeoutW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory_.get()),
                             SMTO_ABORTIFHUNG, 5000, &done) ||
        !memory_.read(textOffset, text, 1024 * sizeof(wchar_t))) {
      return std::wstring();
    }
    return text;
  }

  void send(UINT message, WPARAM wParam, HTREEITEM item) const {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(tree_, message, wParam, reinterpret_cast<LPARAM>(item), SMTO_ABORTIFHUNG,
                        20000, &ignored);
  }

 private:
  HWND tree_;
  RemoteMemory memory_;
};

std::string treeSelect(HANDLE process, HWND window, const std::vector<std::string>& names) {
  HWND tree = FindWindowExW(window, nullptr, L"SysTreeView32", nullptr);
  if (tree == nullptr) return "{\"error\":\"no tree view\"}";
  RemoteTree remote(process, tree);
  HTREEITEM item = remote.next(nullptr, TVGN_ROOT);
  HTREEITEM chosen = nullptr;
  for (const std::string& name : names) {
    const std::wstring wanted = fromUtf8(name);
    std::string seen;
    for (; item != nullptr; item = remote.next(item, TVGN_NEXT)) {
      const std::wstring text = remote.text(item);
      if (lstrcmpiW(text.c_str(), wanted.c_str()) == 0) break;
      seen += (seen.empty() ? "" : ", ") + jsonString(text);
    }
    if (item == nullptr) return "{\"error\":" + jsonString("no item " + name + " among " + seen) + "}";
    chosen = item;
    remote.send(TVM_EXPAND, TVE_EXPAND, item);
    item = remote.next(item, TVGN_CHILD);
  }
  remote.send(TVM_SELECTITEM, TVGN_CARET, chosen);
  settle(window);
  return "{\"selected\":true}";
}

std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::string errorJson(const std::string& message) { return "{\"error\":" + jsonString(message) + "}"; }

// A visible top-level window of the program of that class, and with that caption when one is given.
HWND waitWindow(DWORD processId, const char* wantedClass, const std::wstring* title, DWORD timeout) {
  const DWORD begin = GetTickCount();
  for (;;) {
    for (HWND window : topLevelWindows(processId, wantedClass)) {
      if (IsWindowVisible(window) && (title == nullptr || windowText(window) == *title)) return window;
    }
    if (GetTickCount() - begin > timeout) return nullptr;
    Sleep(50);
  }
}

// The window that has the keyboard focus in the dialog's thread, when it is the dialog or one of
// its controls; else the dialog itself.
HWND keyTarget(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus != nullptr &&
      (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus))) {
    return info.hwndFocus;
  }
  return dialog;
}

std::string answer(const std::vector<std::string>& f, const PROCESS_INFORMATION& process,
                   const Options& options, bool& quit) {
  const std::string& command = f[0];
  const auto field = [&](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
  HWND window = parseHandle(field(1));
  if (command == "wait-dialog") {
    const std::wstring title = fromUtf8(field(1));
    HWND dialog = waitWindow(process.dwProcessId, "#32770", &title,
                             static_cast<DWORD>(std::strtoul(field(2).c_str(), nullptr, 10)));
    if (dialog == nullptr) return errorJson("no dialog with that title");
    settle(dialog);
    return "{\"hwnd\":" + handleText(dialog) + "}";
  }
  if (command == "wait-window") {
    HWND found = waitWindow(process.dwProcessId, field(1).c_str(), nullptr,
                            static_cast<DWORD>(std::strtoul(field(2).c_str(), nullptr, 10)));
    if (found == nullptr) return errorJson("no visible window of that class");
    settle(found);
    return "{\"hwnd\":" + handleText(found) + "}";
  }
  if (command == "windows") {
    std::string list;
    for (HWND found : topLevelWindows(process.dwProcessId, field(1).c_str())) {
      list += (list.empty() ? "" : ",") + handleText(found);
    }
    return "{\"windows\":[" + list + "]}";
  }
  if (command == "workarea") {
    RECT area = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return "{\"rect\":" + jsonRect(area) + "}";
  }
  if (command == "tooltips") return tooltipsJson(process.hProcess, process.dwProcessId);
  if (command == "wait-exit") {
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(std::strtoul(field(1).c_str(), nullptr, 10))) !=
        WAIT_OBJECT_0) {
      return errorJson("the program is still running");
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return "{\"exit_code\":" + number(static_cast<INT32>(code)) + "}";
  }
  if (command == "quit") {
    quit = true;
    const bool running = WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0;
    if (running) {
      TerminateProcess(process.hProcess, 0xDEAD);
      WaitForSingleObject(process.hProcess, 5000);
    }
    return std::string("{\"terminated\":") + (running ? "true" : "false") + "}";
  }
  if (command == "gone") {
    const DWORD begin = GetTickCount();
    const DWORD timeout = static_cast<DWORD>(std::strtoul(field(2).c_str(), nullptr, 10));
    while (IsWindow(window)) {
      if (GetTickCount() - begin > timeout) return errorJson("the window still exists");
      Sleep(20);
    }
    return "{\"gone\":true}";
  }
  if (!IsWindow(window)) return errorJson("no such window");
  if (command == "info") {
    settle(window);
    std::string out = "{" + windowJson(window) + ",\"zoomed\":" + (IsZoomed(window) ? "true" : "false") +
                      ",\"iconic\":" + (IsIconic(window) ? "true" : "false") + ",\"controls\":[";
    ChildScan scan;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&scan));
    for (std::size_t i = 0; i < scan.children.size(); ++i) {
      out += std::string(i > 0 ? "," : "") + "{" + windowJson(scan.children[i]) + "}";
    }
    return out + "]}";
  }
  if (command == "shot") {
    settle(window);
    Options named = options;
    named.name = fromUtf8(field(2));
    const std::wstring path = screenshot(window, named, 0);
    if (path.empty()) return errorJson("no picture made");
    return "{\"path\":" + jsonString(path) + "}";
  }
  if (command == "press") {
    const int id = std::atoi(field(2).c_str());
    if (!buttonUsable(window, id)) return errorJson("the button is missing, hidden or disabled");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    return "{\"pressed\":" + number(id) + "}";
  }
  if (command == "key") {
    const UINT key = static_cast<UINT>(std::strtoul(field(2).c_str(), nullptr, 0));
    HWND target = keyTarget(window);
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, key, scan | 1);
    PostMessageW(target, WM_KEYUP, key, scan | 1 | (static_cast<LPARAM>(3) << 30));
    return "{\"target\":" + handleText(target) + "}";
  }
  if (command == "close") {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return "{\"closed\":true}";
  }
  if (command == "resize" || command == "show") {
    if (command == "resize") {
      SetWindowPos(window, nullptr, 0, 0, std::atoi(field(2).c_str()), std::atoi(field(3).c_str()),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
      ShowWindowAsync(window, std::atoi(field(2).c_str()));
      Sleep(300);
    }
    settle(window);
    return "{" + windowJson(window) + ",\"zoomed\":" + (IsZoomed(window) ? "true" : "false") + "}";
  }
  if (command == "post") {
    const BOOL posted = PostMessageW(window, static_cast<UINT>(std::strtoul(field(2).c_str(), nullptr, 0)),
                                     static_cast<WPARAM>(std::strtoull(field(3).c_str(), nullptr, 0)),
                                     static_cast<LPARAM>(std::strtoll(field(4).c_str(), nullptr, 0)));
    return std::string("{\"posted\":") + (posted ? "true" : "false") + "}";
  }
  if (command == "tree-select") {
    return treeSelect(process.hProcess, window, std::vector<std::string>(f.begin() + 2, f.end()));
  }
  return errorJson("unknown command");
}

int serve(const PROCESS_INFORMATION& process, const Options& options) {
  std::string line;
  char chunk[4096];
  bool quit = false;
  while (!quit && std::fgets(chunk, sizeof chunk, stdin) != nullptr) {
    line += chunk;
    if (line.empty() || line.back() != '\n') continue;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    const std::vector<std::string> fields = splitFields(line);
    line.clear();
    const std::string reply = answer(fields, process, options, quit);
    std::fprintf(stdout, "%s\n", reply.c_str());
    std::fflush(stdout);
  }
  if (!quit && WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, 5000);
  }
  return 0;
}

HANDLE inheritableFile(const std::wstring& path, bool write) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.empty() ? L"NUL" : path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Options options;
  if (argv == nullptr || !parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: uidriver --out FILE [--shots FOLDER] [--name LABEL] [--timeout MS] "
                 "[--button ok|cancel] [--no-boxes] [--env NAME=VALUE] [--unset NAME] [--cmdline RAW] "
                 "PROGRAM [ARG...]\n");
    return 2;
  }

  // Wine puts its own values of variables such as APPDATA, TEMP and PATH in place of the Unix
  // ones; set here, they reach the program exactly as the test gave them.
  for (const std::wstring& entry : options.environment) {
    const std::size_t equals = entry.find(L'=');
    if (equals == std::wstring::npos) {
      SetEnvironmentVariableW(entry.c_str(), nullptr);
    } else {
      SetEnvironmentVariableW(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str());
    }
  }

  std::wstring commandLine = L"\"" + options.program + L"\"";
  if (options.haveCmdline) {
    if (!options.cmdline.empty()) commandLine += L" " + options.cmdline;
  } else {
    for (const std::wstring& arg : options.args) commandLine += L" " + quoteArgument(arg);
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  if (options.interactive) {
    // The driver's own standard streams carry the commands and answers.
    startup.hStdInput = inheritableFile(std::wstring(), false);
    startup.hStdOutput = inheritableFile(options.childStdout, true);
    startup.hStdError = inheritableFile(options.childStderr, true);
  }
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  std::string error;
  std::vector<Box> boxes;
  int exitCode = 0;
  bool timedOut = false;
  DWORD elapsed = 0;
  bool started = CreateProcessW(options.program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                                0, nullptr, nullptr, &startup, &process) != FALSE;
  if (started && options.interactive) {
    const int status = serve(process, options);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
  }
  if (!started) {
    char message[64];
    std::snprintf(message, sizeof message, "CreateProcess failed, error %lu", GetLastError());
    error = message;
    if (options.interactive) {
      std::printf("%s\n", errorJson(error).c_str());
      return 4;
    }
  } else {
    const DWORD begin = GetTickCount();
    std::vector<HWND> handled;
    for (;;) {
      const bool ended = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0;
      WindowScan scan = {process.dwProcessId, {}};
      if (!ended && options.watchBoxes) EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&scan));
      for (Box& box : boxes) {
        if (box.goneAfter == 0 && !IsWindow(box.window)) box.goneAfter = GetTickCount() - begin;
      }
      for (HWND dialog : scan.dialogs) {
        bool known = false;
        for (HWND seen : handled) known = known || seen == dialog;
        if (known) continue;
        // A box that has just appeared may not have painted yet.
        Sleep(200);
        if (!IsWindow(dialog)) continue;
        handled.push_back(dialog);
        Box box;
        box.window = dialog;
        box.seenAfter = GetTickCount() - begin;
        readBox(box);
        box.shot = screenshot(dialog, options, static_cast<int>(boxes.size()) + 1);
        box.pressed = dismiss(dialog, options.cancel);
        boxes.push_back(box);
      }
      if (ended) break;
      if (GetTickCount() - begin > options.timeout) {
        timedOut = true;
        TerminateProcess(process.hProcess, 0xDEAD);
        WaitForSingleObject(process.hProcess, 5000);
        break;
      }
    }
    elapsed = GetTickCount() - begin;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    exitCode = static_cast<int>(static_cast<INT32>(code));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }

  FILE* out = _wfopen(options.out.c_str(), L"wb");
  if (out == nullptr) return 3;
  std::fprintf(out,
               "{\"started\": %s, \"error\": %s, \"timed_out\": %s, \"exit_code\": %d,\n"
               " \"elapsed_ms\": %lu,\n",
               started ? "true" : "false", jsonString(error).c_str(), timedOut ? "true" : "false",
               exitCode, static_cast<unsigned long>(elapsed));
  std::fprintf(out, " \"command_line\": %s,\n \"boxes\": [", jsonString(commandLine).c_str());
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const Box& box = boxes[i];
    std::fprintf(out,
                 "%s\n  {\"text\": %s, \"caption\": %s, \"shot\": %s, \"pressed\": %s,"
                 " \"seen_ms\": %lu, \"gone_ms\": %lu,\n   \"controls\": %s}",
                 i > 0 ? "," : "", jsonString(box.text).c_str(), jsonString(box.caption).c_str(),
                 jsonString(box.shot).c_str(), jsonString(box.pressed).c_str(),
                 static_cast<unsigned long>(box.seenAfter), static_cast<unsigned long>(box.goneAfter),
                 box.controls.c_str());
  }
  std::fprintf(out, "]}\n");
  const bool closed = std::fclose(out) == 0;
  if (!closed) return 3;
  return started ? (timedOut ? 1 : 0) : 4;
}
