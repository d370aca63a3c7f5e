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

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
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
  return !options.out.empty();
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
  if (!started) {
    char message[64];
    std::snprintf(message, sizeof message, "CreateProcess failed, error %lu", GetLastError());
    error = message;
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
