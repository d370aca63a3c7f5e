#include "vm/VmMessages.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace vm {

namespace {

// The tail of what the VM said: its last lines fit, a flood keeps only its end.
constexpr std::size_t kKeptBytes = 8192;

struct Kept {
  std::atomic<bool> keeping{false};
  // The VM's own threads may speak while the creating thread does; whoever finds the buffer taken
  // passes its message on without keeping it rather than wait.
  std::atomic_flag busy = ATOMIC_FLAG_INIT;
  std::size_t length = 0;
};

Kept kept;
// Asked for when keeping starts: a buffer among the globals would take its room in the
// executable's data, as the Windows builds place every global there. Kept for the process.
char* keptText = nullptr;

void keep(const char* piece, std::size_t bytes) {
  if (bytes >= kKeptBytes) {
    piece += bytes - kKeptBytes;
    bytes = kKeptBytes;
  }
  if (kept.length + bytes > kKeptBytes) {
    const std::size_t drop = kept.length + bytes - kKeptBytes;
    std::memmove(keptText, keptText + drop, kept.length - drop);
    kept.length -= drop;
  }
  std::memcpy(keptText + kept.length, piece, bytes);
  kept.length += bytes;
}

}  // namespace

jint JNICALL vmMessageHook(FILE* stream, const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  const int written = std::vfprintf(stream, format, args);
  if (kept.keeping.load() && keptText != nullptr && !kept.busy.test_and_set()) {
    char piece[1024];
    const int length = std::vsnprintf(piece, sizeof piece, format, again);
    if (length > 0) {
      keep(piece, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof piece - 1));
    }
    kept.busy.clear();
  }
  va_end(again);
  return written;
}

// The buffer is taken only for the copy of one message; these waits are for such a copy at most.
void startKeepingVmMessages() {
  while (kept.busy.test_and_set()) {
  }
  if (keptText == nullptr) keptText = new (std::nothrow) char[kKeptBytes];
  kept.length = 0;
  kept.busy.clear();
  kept.keeping.store(true);
}

void stopKeepingVmMessages() { kept.keeping.store(false); }

std::string keptVmMessages(std::size_t maxLines) {
  while (kept.busy.test_and_set()) {
  }
  const std::string text(keptText != nullptr ? keptText : "", kept.length);
  kept.busy.clear();
  return lastLines(text, maxLines);
}

std::string lastLines(const std::string& text, std::size_t maxLines) {
  std::string lines;
  std::size_t count = 0;
  std::size_t end = text.size();
  while (end > 0 && count < maxLines) {
    const std::size_t start = text.rfind('\n', end - 1);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    std::string line = text.substr(from, end - from);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (!line.empty()) {
      lines.insert(0, line + "\n");
      ++count;
    }
    if (start == std::string::npos) break;
    end = start;
  }
  return lines;
}

}  // namespace vm
