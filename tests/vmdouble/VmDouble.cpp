// A stand-in for the Java VM library, for tests only: it exports the three JNI invocation entries
// of a real VM, implements the JNI functions the launcher calls over a tiny simulated world, and
// logs every call so that tests can see what the launcher handed over.
//
// VMDOUBLE_CONFIG names the behaviour file, VMDOUBLE_LOG the log file (appended to). Behaviour
// lines are key=value; keys that may repeat add to a list:
//   create=N               result of JNI_CreateJavaVM (default 0)
//   create-action=ACTION   what JNI_CreateJavaVM does before it returns (repeatable)
//   default-stack=N        javaStackSize reported for the JNI 1.1 record (default 0: none)
//   class=a/b/C            a class that exists (repeatable)
//   main=a/b/C             a class that exists and has main(String[]) (repeatable)
//   main-action=ACTION     what main does, in order (repeatable)
//   secondary=void|int     the form of secondaryMain the main classes declare (default: none)
//   secondary-result=N     what the int form returns
//   secondary-result-arg=I  the int form returns secondary-result plus the number in argument I
//   secondary-action=ACTION  what secondaryMain does before returning (repeatable)
//   attach-result=N, detach-result=N   results of AttachCurrentThread / DetachCurrentThread
//   hide-class=a/b/C       a built-in class that FindClass does not find (repeatable)
//   refuse-option=PREFIX   JNI_CreateJavaVM stops at the first option that starts so and fails
//                          with JNI_EINVAL, as a VM refuses an option it does not know; the
//                          options before it have been taken (repeatable)
//   memory-after-trace=MB  once GetStringChars has handed over a string, the process may grow by
//                          MB more (POSIX): memory runs out while the launcher copies it
// ACTION: "print-out TEXT", "print-err TEXT", "say TEXT" (a line of the VM's own on its error
// stream, through the "vfprintf" hook when the launcher gave one), "throw CLASS MESSAGE",
// "throw-long CLASS BYTES" (a message of BYTES letters), "exit N", "sleep MS",
// "wait-file PATH" (up to 120 s), "thread MS [ACTION]" (a non-daemon thread that sleeps MS, then
// does ACTION; DestroyJavaVM waits for it), "return".
//
// Like a VM given -XX:ArchiveClassesAtExit=PATH, the double writes a small read-only file with the
// dynamic archive's magic number there when it ends (after DestroyJavaVM has waited, or on exit
// before the process goes), and it calls the "exit" option's hook on exit as a VM does.
// -XX:AOTCacheOutput=PATH likewise, with the cache's number and PATH.config from the start on. With
// archive-fails=1 (a full disk) the double calls the "abort" hook and ends with 1, as HotSpot does;
// "crash" does so with 134. System.exit calls Shutdown.halt0 (RegisterNatives) and JVM_Halt.
//
// A thrown exception's message is UTF-8; printStackTrace writes it with the platform's line
// separator into the stream it is given, and a ByteArrayOutputStream's toString hands it back as
// UTF-16, as a VM does.
//
// The hooks among the options ("exit", "vfprintf", "abort") are logged as "hook NAME"; the options
// proper are counted and numbered without them.
//
// Log lines: an event name, then its fields separated by single spaces; text fields come last and
// have bytes below 0x20, from 0x7f on and the backslash written as \xNN.

// The invocation entries are defined here, so jni.h must declare them as exports.
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// NtCurrentTeb reads the thread block through a segment register, which GCC takes for an access
// to a zero-length object.
#pragma GCC diagnostic ignored "-Warray-bounds"
#else
#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <time.h>
#endif

namespace {

// ---- small portable pieces ------------------------------------------------------------------

#ifdef _WIN32
struct Lock {
  CRITICAL_SECTION section;
  Lock() { InitializeCriticalSection(&section); }
  void lock() { EnterCriticalSection(&section); }
  void unlock() { LeaveCriticalSection(&section); }
};
void sleepMs(long ms) { Sleep(static_cast<DWORD>(ms)); }
bool fileThere(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
[[noreturn]] void endProcess(int code) {
  std::fflush(nullptr);
  ExitProcess(static_cast<UINT>(code));
}
#else
struct Lock {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  void lock() { pthread_mutex_lock(&mutex); }
  void unlock() { pthread_mutex_unlock(&mutex); }
};
void sleepMs(long ms) {
  struct timespec t;
  t.tv_sec = ms / 1000;
  t.tv_nsec = (ms % 1000) * 1000000L;
  while (nanosleep(&t, &t) != 0) {
  }
}
bool fileThere(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}
[[noreturn]] void endProcess(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}
#endif

Lock& globalLock() {
  static Lock lock;
  return lock;
}

struct Guard {
  Guard() { globalLock().lock(); }
  ~Guard() { globalLock().unlock(); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;
};

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string escaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 0x20 || c >= 0x7f || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void logLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

void logLine(const char* format, ...) {
  const std::string path = environment("VMDOUBLE_LOG");
  if (path.empty()) return;
  char buffer[8192];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  Guard guard;
  if (FILE* file = std::fopen(path.c_str(), "ab")) {
    std::fprintf(file, "%s\n", buffer);
    std::fclose(file);
  }
}

// ---- behaviour ------------------------------------------------------------------------------

struct Behaviour {
  int createResult = 0;
  long defaultStack = 0;
  std::vector<std::string> classes;
  std::vector<std::string> mainClasses;
  std::vector<std::string> mainActions;
  std::vector<std::string> createActions;
  std::string secondaryForm;
  int secondaryResult = 0;
  int secondaryResultArg = -1;
  std::vector<std::string> secondaryActions;
  int attachResult = 0;
  int detachResult = 0;
  std::vector<std::string> hiddenClasses;
  std::vector<std::string> refusedOptions;
  long memoryAfterTrace = 0;  // MB; 0: no limit
  bool archiveFails = false;
};

Behaviour& behaviour() {
  static Behaviour instance;
  static bool loaded = false;
  if (loaded) return instance;
  loaded = true;
  const std::string path = environment("VMDOUBLE_CONFIG");
  FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    logLine("config missing %s", escaped(path).c_str());
    return instance;
  }
  char line[4096];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const std::size_t equals = text.find('=');
    if (text.empty() || text[0] == '#' || equals == std::string::npos) continue;
    const std::string key = text.substr(0, equals);
    const std::string value = text.substr(equals + 1);
    const int number = std::atoi(value.c_str());
    if (key == "create") instance.createResult = number;
    else if (key == "default-stack") instance.defaultStack = std::atol(value.c_str());
    else if (key == "class") instance.classes.push_back(value);
    else if (key == "main") instance.mainClasses.push_back(value);
    else if (key == "main-action") instance.mainActions.push_back(value);
    else if (key == "create-action") instance.createActions.push_back(value);
    else if (key == "secondary") instance.secondaryForm = value;
    else if (key == "secondary-result") instance.secondaryResult = number;
    else if (key == "secondary-result-arg") instance.secondaryResultArg = number;
    else if (key == "secondary-action") instance.secondaryActions.push_back(value);
    else if (key == "attach-result") instance.attachResult = number;
    else if (key == "detach-result") instance.detachResult = number;
    else if (key == "hide-class") instance.hiddenClasses.push_back(value);
    else if (key == "refuse-option") instance.refusedOptions.push_back(value);
    else if (key == "memory-after-trace") instance.memoryAfterTrace = std::atol(value.c_str());
    else if (key == "archive-fails") instance.archiveFails = number != 0;
    else logLine("config unknown %s", escaped(text).c_str());
  }
  std::fclose(file);
  return instance;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
  for (const std::string& entry : list) {
    if (entry == item) return true;
  }
  return false;
}

// ---- the simulated world --------------------------------------------------------------------

enum class Kind { Class, String, ByteArray, ObjectArray, FileStream, PrintStream, Throwable, ByteStream };

struct Object {
  Kind kind;
  std::string text;                 // class name, string bytes, throwable class
  std::string message;              // throwable message
  std::vector<Object*> elements;    // object array
  FILE* file = nullptr;             // file stream
  Object* target = nullptr;         // print stream: its file or byte stream
  bool throwableClass = false;      // class: that of a throwable, which can print its trace
  std::u16string wide;              // string made by the VM itself (toString): its characters
  bool hasWide = false;
};

// Objects live until the process ends; the world is small.
Object* newObject(Kind kind, const std::string& text = std::string()) {
  Object* object = new Object;
  object->kind = kind;
  object->text = text;
  return object;
}

Object* asObject(void* handle) { return static_cast<Object*>(handle); }

struct Method {
  std::string owner;
  std::string name;
  std::string signature;
};

jmethodID methodId(const std::string& owner, const char* name, const char* signature) {
  Guard guard;
  static std::vector<Method*> methods;
  for (Method* method : methods) {
    if (method->owner == owner && method->name == name && method->signature == signature) {
      return reinterpret_cast<jmethodID>(method);
    }
  }
  Method* method = new Method{owner, name, signature};
  methods.push_back(method);
  return reinterpret_cast<jmethodID>(method);
}

const Method& methodOf(jmethodID id) { return *reinterpret_cast<const Method*>(id); }

thread_local Object* pendingException = nullptr;
thread_local bool vmThread = false;

Object* standardOut = nullptr;  // null: the process's own stream
Object* standardErr = nullptr;

void raise(const char* className, const std::string& message) {
  Object* throwable = newObject(Kind::Throwable, className);
  throwable->message = message;
  pendingException = throwable;
}

void writeStream(Object* stream, FILE* fallback, const std::string& text) {
  if (stream != nullptr && stream->target != nullptr && stream->target->kind == Kind::ByteStream) {
    stream->target->text += text;
    return;
  }
  FILE* file = stream != nullptr && stream->target != nullptr ? stream->target->file : fallback;
  if (file == nullptr) return;
  Guard guard;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

std::string dotted(std::string name) {
  for (char& c : name) {
    if (c == '/') c = '.';
  }
  return name;
}

bool knownClass(const std::string& name) {
  static const char* const builtIn[] = {
      "java/lang/String",  "java/lang/System",     "java/lang/Object",
      "java/lang/Throwable", "java/io/FileOutputStream", "java/io/PrintStream",
      "java/io/OutputStream", "java/io/ByteArrayOutputStream", "java/lang/Shutdown"};
  if (contains(behaviour().hiddenClasses, name)) return false;
  for (const char* entry : builtIn) {
    if (name == entry) return true;
  }
  return contains(behaviour().classes, name) || contains(behaviour().mainClasses, name);
}

bool methodExists(const std::string& owner, const std::string& name, const std::string& sig) {
  if (owner == "java/lang/String") return name == "<init>" && sig == "([B)V";
  if (owner == "java/io/FileOutputStream") return name == "<init>" && sig == "(Ljava/lang/String;)V";
  if (owner == "java/io/PrintStream") return name == "<init>" && sig == "(Ljava/io/OutputStream;)V";
  if (owner == "java/io/ByteArrayOutputStream") {
    return (name == "<init>" && sig == "()V") || (name == "toString" && sig == "()Ljava/lang/String;");
  }
  if (owner == "java/lang/System") {
    return ((name == "setOut" || name == "setErr") && sig == "(Ljava/io/PrintStream;)V") ||
           (name == "exit" && sig == "(I)V");
  }
  if (!contains(behaviour().mainClasses, owner)) return false;
  if (name == "main") return sig == "([Ljava/lang/String;)V";
  if (name == "secondaryMain") {
    const std::string& form = behaviour().secondaryForm;
    return (form == "void" && sig == "([Ljava/lang/String;)V") ||
           (form == "int" && sig == "([Ljava/lang/String;)I");
  }
  return false;
}

// ---- threads of the application ---------------------------------------------------------------

struct AppThread {
  long ms;
  std::string then;
};

void runAction(const std::string& action, const char* who);

#ifdef _WIN32
std::vector<HANDLE> appThreads;
DWORD WINAPI appThreadMain(void* parameter)
#else
std::vector<pthread_t> appThreads;
void* appThreadMain(void* parameter)
#endif
{
  AppThread* work = static_cast<AppThread*>(parameter);
  sleepMs(work->ms);
  if (!work->then.empty()) runAction(work->then, "thread");
  if (pendingException != nullptr) {
    logLine("thread uncaught %s", escaped(pendingException->text).c_str());
    pendingException = nullptr;
  }
  logLine("thread end");
  delete work;
#ifdef _WIN32
  return 0;
#else
  return nullptr;
#endif
}

void startAppThread(long ms, const std::string& then) {
  logLine("thread start %ld", ms);
  AppThread* work = new AppThread{ms, then};
  Guard guard;
#ifdef _WIN32
  HANDLE thread = CreateThread(nullptr, 0, appThreadMain, work, 0, nullptr);
  if (thread != nullptr) appThreads.push_back(thread);
#else
  pthread_t thread;
  if (pthread_create(&thread, nullptr, appThreadMain, work) == 0) appThreads.push_back(thread);
#endif
}

void joinAppThreads() {
  for (;;) {
#ifdef _WIN32
    HANDLE thread;
#else
    pthread_t thread;
#endif
    {
      Guard guard;
      if (appThreads.empty()) return;
      thread = appThreads.back();
      appThreads.pop_back();
    }
#ifdef _WIN32
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_join(thread, nullptr);
#endif
  }
}

extern JNIEnv_ theEnv;
std::string archiveAtExit;  // -XX:ArchiveClassesAtExit
bool aotCache = false;      // -XX:AOTCacheOutput
using ExitHook = void(JNICALL*)(jint);
using AbortHook = void(JNICALL*)();
ExitHook exitHook = nullptr;    // the "exit" option's
AbortHook abortHook = nullptr;  // the "abort" option's
using VfprintfHook = jint(JNICALL*)(FILE*, const char*, va_list);
VfprintfHook vfprintfHook = nullptr;  // the "vfprintf" option's
using HaltNative = void(JNICALL*)(JNIEnv*, jclass, jint);
HaltNative haltNative = nullptr;  // Shutdown.halt0 as registered by the launcher

// A message of the VM's own on its error stream: through the "vfprintf" hook, as a VM prints.
void vmSays(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (vfprintfHook != nullptr) {
    vfprintfHook(stderr, format, args);
  } else {
    std::vfprintf(stderr, format, args);
  }
  va_end(args);
}

[[noreturn]] void abortVm(int code) {
  if (abortHook != nullptr) {
    logLine("abort hook");
    abortHook();
  }
  endProcess(code);
}

// What a VM's dump leaves: the header, written last, then (here) a little more.
void writeArchiveAtExit() {
  if (archiveAtExit.empty()) return;
  std::remove(archiveAtExit.c_str());
  std::string bytes(aotCache ? "\xa2\xab\x0b\xf0" : "\xa8\xab\x0b\xf0", 4);
  bytes.resize(4096, 'x');
  if (behaviour().archiveFails) abortVm(1);
  if (FILE* file = std::fopen(archiveAtExit.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  std::remove((archiveAtExit + ".config").c_str());
#ifdef _WIN32
  SetFileAttributesA(archiveAtExit.c_str(), FILE_ATTRIBUTE_READONLY);
#else
  chmod(archiveAtExit.c_str(), 0444);
#endif
  logLine("archive written %s", escaped(archiveAtExit).c_str());
}

[[noreturn]] void halt(int code) {
  logLine("exit %d", code);
  writeArchiveAtExit();
  if (exitHook != nullptr) {
    logLine("exit hook %d", code);
    exitHook(code);
  }
  endProcess(code);
}

void systemExit(int code) {
  if (haltNative != nullptr) haltNative(&theEnv, nullptr, code);
  halt(code);
}

void runAction(const std::string& action, const char* who) {
  logLine("%s action %s", who, escaped(action).c_str());
  const std::size_t space = action.find(' ');
  const std::string verb = action.substr(0, space);
  const std::string rest = space == std::string::npos ? std::string() : action.substr(space + 1);
  if (verb == "print-out") {
    writeStream(standardOut, stdout, rest + "\n");
  } else if (verb == "print-err") {
    writeStream(standardErr, stderr, rest + "\n");
  } else if (verb == "throw") {
    const std::size_t gap = rest.find(' ');
    raise(rest.substr(0, gap).c_str(), gap == std::string::npos ? "" : rest.substr(gap + 1));
  } else if (verb == "say") {
    vmSays("%s\n", rest.c_str());
  } else if (verb == "throw-long") {
    const std::size_t gap = rest.find(' ');
    const std::size_t bytes =
        gap == std::string::npos ? 0 : std::strtoul(rest.c_str() + gap + 1, nullptr, 10);
    raise(rest.substr(0, gap).c_str(), std::string(bytes, 'x'));
  } else if (verb == "exit") {
    systemExit(std::atoi(rest.c_str()));
  } else if (verb == "crash") {
    logLine("crash");
    abortVm(134);
  } else if (verb == "sleep") {
    sleepMs(std::atol(rest.c_str()));
  } else if (verb == "wait-file") {
    for (int i = 0; i < 1200 && !fileThere(rest); ++i) sleepMs(100);
    logLine("%s waited %s %s", who, fileThere(rest) ? "found" : "timeout", escaped(rest).c_str());
  } else if (verb == "thread") {
    const std::size_t gap = rest.find(' ');
    startAppThread(std::atol(rest.substr(0, gap).c_str()),
                   gap == std::string::npos ? std::string() : rest.substr(gap + 1));
  } else if (verb != "return") {
    logLine("%s unknown action", who);
  }
}

// Runs actions until one leaves an exception pending.
void runActions(const std::vector<std::string>& actions, const char* who) {
  for (const std::string& action : actions) {
    runAction(action, who);
    if (pendingException != nullptr) return;
  }
}

void logArguments(const char* who, Object* array) {
  if (array == nullptr) {
    logLine("%s args null", who);
    return;
  }
  logLine("%s argc %u", who, static_cast<unsigned>(array->elements.size()));
  for (std::size_t i = 0; i < array->elements.size(); ++i) {
    Object* element = array->elements[i];
    logLine("%s arg %u %s", who, static_cast<unsigned>(i),
            element != nullptr ? escaped(element->text).c_str() : "\\null");
  }
}

// ---- the JNI function table -------------------------------------------------------------------

JNIEnv_ theEnv;
JavaVM_ theVm;

[[noreturn]] void unimplemented(std::size_t slot) {
  logLine("unimplemented %u", static_cast<unsigned>(slot));
  std::fprintf(stderr, "VM double: JNI function slot %u is not implemented\n",
               static_cast<unsigned>(slot));
  endProcess(86);
}

template <std::size_t N>
void JNICALL unimplementedSlot() {
  unimplemented(N);
}

template <std::size_t... I>
void fillSlots(void** slots, std::index_sequence<I...>) {
  ((slots[I] = reinterpret_cast<void*>(&unimplementedSlot<I>)), ...);
}

jint JNICALL GetVersion(JNIEnv*) { return JNI_VERSION_1_2; }

jclass JNICALL FindClass(JNIEnv*, const char* name) {
  const std::string className = name != nullptr ? name : "";
  if (!knownClass(className)) {
    logLine("FindClass missing %s", escaped(className).c_str());
    raise("java/lang/NoClassDefFoundError", className);
    return nullptr;
  }
  logLine("FindClass %s", escaped(className).c_str());
  return reinterpret_cast<jclass>(newObject(Kind::Class, className));
}

jmethodID findMethod(jclass type, const char* name, const char* signature, bool isStatic) {
  Object* owner = asObject(type);
  const char* event = isStatic ? "GetStaticMethodID" : "GetMethodID";
  if (owner == nullptr || owner->kind != Kind::Class) {
    logLine("%s bad-class %s %s", event, name, signature);
    raise("java/lang/NullPointerException", "");
    return nullptr;
  }
  const bool printsTrace = owner->throwableClass && std::string(name) == "printStackTrace" &&
                           std::string(signature) == "(Ljava/io/PrintStream;)V";
  if (!printsTrace && !methodExists(owner->text, name, signature)) {
    logLine("%s missing %s %s %s", event, owner->text.c_str(), name, signature);
    raise("java/lang/NoSuchMethodError", name);
    return nullptr;
  }
  logLine("%s %s %s %s", event, owner->text.c_str(), name, signature);
  return methodId(owner->text, name, signature);
}

jmethodID JNICALL GetMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
  return findMethod(type, name, signature, false);
}

jmethodID JNICALL GetStaticMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
  return findMethod(type, name, signature, true);
}

jobject JNICALL NewObjectV(JNIEnv*, jclass, jmethodID id, va_list args) {
  const Method& method = methodOf(id);
  if (method.owner == "java/io/ByteArrayOutputStream") {
    return reinterpret_cast<jobject>(newObject(Kind::ByteStream));
  }
  Object* argument = asObject(va_arg(args, jobject));
  if (method.owner == "java/lang/String") {
    if (argument == nullptr || argument->kind != Kind::ByteArray) {
      raise("java/lang/NullPointerException", "");
      return nullptr;
    }
    return reinterpret_cast<jobject>(newObject(Kind::String, argument->text));
  }
  if (method.owner == "java/io/FileOutputStream") {
    const std::string path = argument != nullptr ? argument->text : "";
    Object* stream = newObject(Kind::FileStream, path);
    stream->file = std::fopen(path.c_str(), "wb");
    logLine("FileOutputStream %s %s", stream->file != nullptr ? "open" : "failed",
            escaped(path).c_str());
    if (stream->file == nullptr) {
      raise("java/io/FileNotFoundException", path);
      return nullptr;
    }
    return reinterpret_cast<jobject>(stream);
  }
  if (method.owner == "java/io/PrintStream") {
    Object* stream = newObject(Kind::PrintStream);
    stream->target = argument;
    return reinterpret_cast<jobject>(stream);
  }
  raise("java/lang/InstantiationError", method.owner);
  return nullptr;
}

void callStatic(const Method& method, va_list args, jint* result) {
  if (method.owner == "java/lang/System") {
    if (method.name == "exit") {
      systemExit(va_arg(args, jint));
    }
    Object* stream = asObject(va_arg(args, jobject));
    const std::string target =
        stream != nullptr && stream->target != nullptr ? stream->target->text : "\\null";
    logLine("%s %s", method.name.c_str(), escaped(target).c_str());
    if (method.name == "setOut") standardOut = stream;
    if (method.name == "setErr") standardErr = stream;
    return;
  }
  Object* array = asObject(va_arg(args, jobject));
  if (method.name == "main") {
    logLine("main class %s", method.owner.c_str());
    logArguments("main", array);
    runActions(behaviour().mainActions, "main");
    logLine("main end%s", pendingException != nullptr ? " exception" : "");
    return;
  }
  if (method.name == "secondaryMain") {
    logLine("secondaryMain form %s", result != nullptr ? "int" : "void");
    logArguments("secondaryMain", array);
    // The whole call on one line, so that calls on several threads at once stay apart: the
    // count, then the arguments each preceded by a 0x1f byte.
    std::string call;
    const std::size_t count = array != nullptr ? array->elements.size() : 0;
    for (std::size_t i = 0; i < count; ++i) {
      call += '\x1f';
      if (array->elements[i] != nullptr) call += array->elements[i]->text;
    }
    logLine("secondaryMain call %u %s", static_cast<unsigned>(count), escaped(call).c_str());
    runActions(behaviour().secondaryActions, "secondaryMain");
    if (result != nullptr) {
      *result = behaviour().secondaryResult;
      const int from = behaviour().secondaryResultArg;
      if (from >= 0 && static_cast<std::size_t>(from) < count && array->elements[from] != nullptr) {
        *result += std::atoi(array->elements[from]->text.c_str());
      }
    }
    logLine("secondaryMain end %d", result != nullptr ? *result : 0);
  }
}

void JNICALL CallStaticVoidMethodV(JNIEnv*, jclass, jmethodID id, va_list args) {
  callStatic(methodOf(id), args, nullptr);
}

jint JNICALL CallStaticIntMethodV(JNIEnv*, jclass, jmethodID id, va_list args) {
  jint result = 0;
  callStatic(methodOf(id), args, &result);
  return result;
}

jbyteArray JNICALL NewByteArray(JNIEnv*, jsize length) {
  if (length < 0) {
    raise("java/lang/NegativeArraySizeException", "");
    return nullptr;
  }
  Object* array = newObject(Kind::ByteArray);
  array->text.assign(static_cast<std::size_t>(length), '\0');
  return reinterpret_cast<jbyteArray>(array);
}

void JNICALL SetByteArrayRegion(JNIEnv*, jbyteArray target, jsize start, jsize length,
                                const jbyte* bytes) {
  Object* array = asObject(target);
  if (array == nullptr || start < 0 || length < 0 ||
      static_cast<std::size_t>(start) + static_cast<std::size_t>(length) > array->text.size()) {
    raise("java/lang/ArrayIndexOutOfBoundsException", "");
    return;
  }
  if (length > 0) std::memcpy(&array->text[static_cast<std::size_t>(start)], bytes, static_cast<std::size_t>(length));
}

jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize length, jclass, jobject initial) {
  if (length < 0) {
    raise("java/lang/NegativeArraySizeException", "");
    return nullptr;
  }
  Object* array = newObject(Kind::ObjectArray);
  array->elements.assign(static_cast<std::size_t>(length), asObject(initial));
  return reinterpret_cast<jobjectArray>(array);
}

void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray target, jsize index, jobject value) {
  Object* array = asObject(target);
  if (array == nullptr || index < 0 || static_cast<std::size_t>(index) >= array->elements.size()) {
    raise("java/lang/ArrayIndexOutOfBoundsException", "");
    return;
  }
  array->elements[static_cast<std::size_t>(index)] = asObject(value);
}

jobject JNICALL GetObjectArrayElement(JNIEnv*, jobjectArray source, jsize index) {
  Object* array = asObject(source);
  if (array == nullptr || index < 0 || static_cast<std::size_t>(index) >= array->elements.size()) {
    raise("java/lang/ArrayIndexOutOfBoundsException", "");
    return nullptr;
  }
  return reinterpret_cast<jobject>(array->elements[static_cast<std::size_t>(index)]);
}

jsize JNICALL GetArrayLength(JNIEnv*, jarray source) {
  Object* array = asObject(source);
  if (array == nullptr) return 0;
  return static_cast<jsize>(array->kind == Kind::ObjectArray ? array->elements.size()
                                                               : array->text.size());
}

void JNICALL DeleteLocalRef(JNIEnv*, jobject) {}

jclass JNICALL GetObjectClass(JNIEnv*, jobject object) {
  Object* value = asObject(object);
  if (value == nullptr) return nullptr;
  std::string name = value->kind == Kind::Throwable    ? value->text
                     : value->kind == Kind::String     ? "java/lang/String"
                     : value->kind == Kind::ByteStream ? "java/io/ByteArrayOutputStream"
                                                       : "java/lang/Object";
  Object* type = newObject(Kind::Class, name);
  type->throwableClass = value->kind == Kind::Throwable;
  return reinterpret_cast<jclass>(type);
}

#ifdef _WIN32
constexpr const char* kLineSeparator = "\r\n";
#else
constexpr const char* kLineSeparator = "\n";
#endif

// UTF-16 of UTF-8 bytes; a byte that starts no valid sequence stands for itself.
std::u16string utf16FromUtf8(const std::string& bytes) {
  std::u16string out;
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned long code = extra == 0 ? c : c & (0x3F >> extra);
    bool valid = i + static_cast<std::size_t>(extra) < bytes.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      code = c;
      i += 1;
    } else {
      i += static_cast<std::size_t>(extra) + 1;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

void JNICALL CallVoidMethodV(JNIEnv*, jobject target, jmethodID id, va_list args) {
  const Method& method = methodOf(id);
  Object* object = asObject(target);
  Object* stream = asObject(va_arg(args, jobject));
  if (method.name != "printStackTrace" || object == nullptr || object->kind != Kind::Throwable) {
    logLine("CallVoidMethod unexpected %s %s", method.owner.c_str(), method.name.c_str());
    raise("java/lang/AbstractMethodError", method.name);
    return;
  }
  std::string text = dotted(object->text);
  if (!object->message.empty()) text += ": " + object->message;
  logLine("printStackTrace %s", escaped(text.substr(0, 4096)).c_str());
  writeStream(stream, stderr,
              text + kLineSeparator + "\tat vmdouble.Simulated.call(Simulated.java)" + kLineSeparator);
}

jobject JNICALL CallObjectMethodV(JNIEnv*, jobject target, jmethodID id, va_list) {
  const Method& method = methodOf(id);
  Object* object = asObject(target);
  if (method.name != "toString" || object == nullptr || object->kind != Kind::ByteStream) {
    logLine("CallObjectMethod unexpected %s %s", method.owner.c_str(), method.name.c_str());
    raise("java/lang/AbstractMethodError", method.name);
    return nullptr;
  }
  Object* string = newObject(Kind::String, object->text);
  string->wide = utf16FromUtf8(object->text);
  string->hasWide = true;
  logLine("toString %u bytes", static_cast<unsigned>(object->text.size()));
  return reinterpret_cast<jobject>(string);
}

// With memory-after-trace=MB the process may grow by MB more from here on (POSIX), as if memory
// ran out while the launcher works with the characters it was handed.
void limitMemory(long megabytes) {
#ifndef _WIN32
  if (megabytes <= 0) return;
  malloc_trim(0);  // what was freed goes back, so that only the MB given are left to grow into
  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  rlimit limit;
  limit.rlim_cur = limit.rlim_max =
      static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
      (static_cast<rlim_t>(megabytes) << 20);
  logLine("memory limited %s", setrlimit(RLIMIT_AS, &limit) == 0 ? "ok" : "failed");
#else
  (void)megabytes;
#endif
}

std::u16string charsOf(const Object* string) {
  return string->hasWide ? string->wide : utf16FromUtf8(string->text);
}

jsize JNICALL GetStringLength(JNIEnv*, jstring text) {
  Object* value = asObject(text);
  return value != nullptr ? static_cast<jsize>(charsOf(value).size()) : 0;
}

const jchar* JNICALL GetStringChars(JNIEnv*, jstring text, jboolean* isCopy) {
  Object* value = asObject(text);
  if (value == nullptr) return nullptr;
  jchar* copy = nullptr;
  {
    const std::u16string chars = charsOf(value);
    copy = static_cast<jchar*>(std::malloc((chars.size() + 1) * sizeof(jchar)));
    if (copy == nullptr) return nullptr;
    for (std::size_t i = 0; i < chars.size(); ++i) copy[i] = static_cast<jchar>(chars[i]);
    copy[chars.size()] = 0;
  }
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  limitMemory(behaviour().memoryAfterTrace);
  return copy;
}

void JNICALL ReleaseStringChars(JNIEnv*, jstring, const jchar* chars) {
  std::free(const_cast<jchar*>(chars));
}

const char* JNICALL GetStringUTFChars(JNIEnv*, jstring text, jboolean* isCopy) {
  Object* value = asObject(text);
  if (value == nullptr) return nullptr;
  char* copy = static_cast<char*>(std::malloc(value->text.size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, value->text.c_str(), value->text.size() + 1);
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  return copy;
}

void JNICALL ReleaseStringUTFChars(JNIEnv*, jstring, const char* chars) {
  std::free(const_cast<char*>(chars));
}

jstring JNICALL NewStringUTF(JNIEnv*, const char* text) {
  return reinterpret_cast<jstring>(newObject(Kind::String, text != nullptr ? text : ""));
}

jint JNICALL Throw(JNIEnv*, jthrowable throwable) {
  pendingException = asObject(throwable);
  logLine("Throw %s", pendingException != nullptr ? escaped(pendingException->text).c_str() : "null");
  return JNI_OK;
}

jthrowable JNICALL ExceptionOccurred(JNIEnv*) {
  return reinterpret_cast<jthrowable>(pendingException);
}

jboolean JNICALL ExceptionCheck(JNIEnv*) { return pendingException != nullptr ? JNI_TRUE : JNI_FALSE; }

void JNICALL ExceptionClear(JNIEnv*) {
  if (pendingException != nullptr) logLine("ExceptionClear %s", pendingException->text.c_str());
  pendingException = nullptr;
}

void JNICALL ExceptionDescribe(JNIEnv*) {
  Object* thrown = pendingException;
  pendingException = nullptr;
  if (thrown == nullptr) return;
  std::string text = dotted(thrown->text);
  if (!thrown->message.empty()) text += ": " + thrown->message;
  logLine("describe %s", escaped(text.substr(0, 4096)).c_str());
  std::string trace = "Exception in thread \"";
  trace += vmThread ? "main" : "Thread-1";
  trace += "\" " + text + "\n\tat vmdouble.Simulated.call(Simulated.java)\n";
  writeStream(standardErr, stderr, trace);
}

// ---- the invocation interface -----------------------------------------------------------------

unsigned long long currentStackSize() {
#ifdef _WIN32
  // The reservation that holds this frame, from its base up to the top the thread block names.
  MEMORY_BASIC_INFORMATION info;
  const int local = 0;
  if (VirtualQuery(&local, &info, sizeof info) == 0) return 0;
  const NT_TIB* tib = reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(tib->StackBase) -
                                         reinterpret_cast<std::uintptr_t>(info.AllocationBase));
#else
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
  std::size_t size = 0;
  pthread_attr_getstacksize(&attributes, &size);
  pthread_attr_destroy(&attributes);
  return size;
#endif
}

jint JNICALL DestroyJavaVM(JavaVM*) {
  logLine("DestroyJavaVM begin");
  joinAppThreads();
  writeArchiveAtExit();
  logLine("DestroyJavaVM end");
  return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** env, void* args) {
  logLine("AttachCurrentThread args=%s result=%d", args != nullptr ? "set" : "null",
          behaviour().attachResult);
  if (behaviour().attachResult != JNI_OK) return behaviour().attachResult;
  if (env != nullptr) *env = &theEnv;
  return JNI_OK;
}

jint JNICALL DetachCurrentThread(JavaVM*) {
  logLine("DetachCurrentThread result=%d", behaviour().detachResult);
  return behaviour().detachResult;
}

// Only Shutdown.halt0 is ever registered.
jint JNICALL RegisterNatives(JNIEnv*, jclass, const JNINativeMethod* methods, jint) {
  haltNative = reinterpret_cast<HaltNative>(methods[0].fnPtr);
  return JNI_OK;
}

jint JNICALL GetEnv(JavaVM*, void** env, jint) {
  if (env != nullptr) *env = &theEnv;
  return JNI_OK;
}

JNINativeInterface_ envTable;
JNIInvokeInterface_ vmTable;

void buildTables() {
  static bool built = false;
  if (built) return;
  built = true;
  constexpr std::size_t kSlots = sizeof(JNINativeInterface_) / sizeof(void*);
  fillSlots(reinterpret_cast<void**>(&envTable), std::make_index_sequence<kSlots>());
  envTable.GetVersion = GetVersion;
  envTable.FindClass = FindClass;
  envTable.GetMethodID = GetMethodID;
  envTable.GetStaticMethodID = GetStaticMethodID;
  envTable.NewObjectV = NewObjectV;
  envTable.CallStaticVoidMethodV = CallStaticVoidMethodV;
  envTable.CallStaticIntMethodV = CallStaticIntMethodV;
  envTable.NewByteArray = NewByteArray;
  envTable.SetByteArrayRegion = SetByteArrayRegion;
  envTable.NewObjectArray = NewObjectArray;
  envTable.SetObjectArrayElement = SetObjectArrayElement;
  envTable.GetObjectArrayElement = GetObjectArrayElement;
  envTable.GetArrayLength = GetArrayLength;
  envTable.DeleteLocalRef = DeleteLocalRef;
  envTable.GetObjectClass = GetObjectClass;
  envTable.CallVoidMethodV = CallVoidMethodV;
  envTable.CallObjectMethodV = CallObjectMethodV;
  envTable.GetStringLength = GetStringLength;
  envTable.GetStringChars = GetStringChars;
  envTable.ReleaseStringChars = ReleaseStringChars;
  envTable.GetStringUTFChars = GetStringUTFChars;
  envTable.ReleaseStringUTFChars = ReleaseStringUTFChars;
  envTable.NewStringUTF = NewStringUTF;
  envTable.Throw = Throw;
  envTable.ExceptionOccurred = ExceptionOccurred;
  envTable.ExceptionCheck = ExceptionCheck;
  envTable.ExceptionClear = ExceptionClear;
  envTable.ExceptionDescribe = ExceptionDescribe;
  envTable.RegisterNatives = RegisterNatives;
  theEnv.functions = &envTable;

  constexpr std::size_t kVmSlots = sizeof(JNIInvokeInterface_) / sizeof(void*);
  fillSlots(reinterpret_cast<void**>(&vmTable), std::make_index_sequence<kVmSlots>());
  vmTable.DestroyJavaVM = DestroyJavaVM;
  vmTable.AttachCurrentThread = AttachCurrentThread;
  vmTable.DetachCurrentThread = DetachCurrentThread;
  vmTable.GetEnv = GetEnv;
  vmTable.AttachCurrentThreadAsDaemon = AttachCurrentThread;
  theVm.functions = &vmTable;
}

bool created = false;

// The JNI 1.1 record, laid out as VMs read it.
struct Jdk11InitArgs {
  jint version;
  char** properties;
  jint checkSource;
  jint nativeStackSize;
  jint javaStackSize;
  jint minHeapSize;
  jint maxHeapSize;
  jint verifyMode;
  char* classpath;
  void* vfprintfHook;
  void* exitHook;
  void* abortHook;
  jint enableClassGC;
  jint enableVerboseGC;
  jint disableAsyncGC;
  jint verbose;
  jboolean debugging;
  jint debugPort;
};

}  // namespace

#ifdef VMDOUBLE_BROKEN
// Built with a dependency that the tests never provide, so the loader refuses the library.
extern "C" int notAJavaVm();
#endif

extern "C" {

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
#ifdef VMDOUBLE_BROKEN
  if (notAJavaVm() != 42) return JNI_ERR;
#endif
  if (args == nullptr) return JNI_ERR;
  jint* version = static_cast<jint*>(args);
  logLine("GetDefaultJavaVMInitArgs version=0x%08x", static_cast<unsigned>(*version));
  if (*version == JNI_VERSION_1_1) {
    Jdk11InitArgs* record = static_cast<Jdk11InitArgs*>(args);
    record->javaStackSize = static_cast<jint>(behaviour().defaultStack);
    record->version = JNI_VERSION_1_2;
  }
  return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
  buildTables();
  const JavaVMInitArgs* init = static_cast<const JavaVMInitArgs*>(args);
  if (init == nullptr) {
    logLine("CreateJavaVM args null");
    return JNI_EINVAL;
  }
  // The hooks a VM takes among its options are logged apart from the options proper, which are
  // counted and numbered without them.
  const auto isHook = [](const char* option) {
    const std::string text = option != nullptr ? option : "";
    return text == "exit" || text == "vfprintf" || text == "abort";
  };
  jint proper = 0;
  for (jint i = 0; i < init->nOptions; ++i) proper += isHook(init->options[i].optionString) ? 0 : 1;
  logLine("CreateJavaVM version=0x%08x nOptions=%d ignoreUnrecognized=%d stack=%llu",
          static_cast<unsigned>(init->version), static_cast<int>(proper),
          static_cast<int>(init->ignoreUnrecognized), currentStackSize());
  bool refused = false;
  jint number = 0;
  for (jint i = 0; i < init->nOptions; ++i) {
    const char* option = init->options[i].optionString;
    const std::string text = option != nullptr ? option : "";
    if (isHook(option)) {
      logLine("hook %s", text.c_str());
      void* hook = init->options[i].extraInfo;
      if (text == "exit") exitHook = reinterpret_cast<ExitHook>(hook);
      if (text == "abort") abortHook = reinterpret_cast<AbortHook>(hook);
      if (text == "vfprintf") vfprintfHook = reinterpret_cast<VfprintfHook>(hook);
      continue;
    }
    logLine("option %d %s", static_cast<int>(number++),
            option != nullptr ? escaped(option).c_str() : "\\null");
    for (const std::string& prefix : behaviour().refusedOptions) {
      if (!refused && text.compare(0, prefix.size(), prefix) == 0) {
        logLine("option refused %s", escaped(text).c_str());
        refused = true;
      }
    }
    if (refused) continue;
    static const char kArchiveAtExit[] = "-XX:ArchiveClassesAtExit=";
    static const char kCacheOutput[] = "-XX:AOTCacheOutput=";
    if (text.compare(0, sizeof kArchiveAtExit - 1, kArchiveAtExit) == 0) {
      archiveAtExit = text.substr(sizeof kArchiveAtExit - 1);
    }
    if (text.compare(0, sizeof kCacheOutput - 1, kCacheOutput) == 0) {
      archiveAtExit = text.substr(sizeof kCacheOutput - 1);
      aotCache = true;
    }
  }
  if (!created) runActions(behaviour().createActions, "CreateJavaVM");
  const int result = created ? JNI_EEXIST : refused ? JNI_EINVAL : behaviour().createResult;
  logLine("CreateJavaVM result=%d", result);
  if (result != JNI_OK) return result;
  if (FILE* notes = aotCache ? std::fopen((archiveAtExit + ".config").c_str(), "wb") : nullptr) std::fclose(notes);
  created = true;
  vmThread = true;
  *vm = &theVm;
  *env = &theEnv;
  return JNI_OK;
}

JNIEXPORT void JNICALL JVM_Halt(jint code) { halt(code); }

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize size, jsize* count) {
  const jsize found = created ? 1 : 0;
  if (count != nullptr) *count = found;
  if (found == 1 && vms != nullptr && size > 0) vms[0] = &theVm;
  return JNI_OK;
}

}  // extern "C"
