// What the C++ library would otherwise bring into the launcher executable: its exception machinery.
// The launcher is built without exceptions, so nothing can be caught; yet the library's error paths
// (a string or vector that cannot grow, memory that runs out) throw, and their throw helpers pull
// in the unwinder, the exception classes with their own string type, and a terminate handler that
// demangles and prints. Here each of them ends the process at once with -1, which is what start-up
// does with every failure: no half-done state is left, and nothing is written afterwards. Only the
// nothrow forms of new return null, for the optional features that ask with them.
//
// Linked into the launcher executables only: the unit tests keep the library's own (the sanitizers
// replace new and delete themselves).

#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

namespace {

[[noreturn]] void endProcess() noexcept { std::_Exit(-1); }

void* tryAllocate(std::size_t size) noexcept { return std::malloc(size != 0 ? size : 1); }

void* allocate(std::size_t size) noexcept {
  void* memory = tryAllocate(size);
  if (memory == nullptr) endProcess();
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
// What the launcher can do without (the splash picture, the text of an exception) asks this way,
// and goes on without it when there is no memory for it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return tryAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return tryAllocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace std {

#if defined(__GLIBCXX__)
void __throw_bad_exception() { endProcess(); }
void __throw_bad_alloc() { endProcess(); }
void __throw_bad_array_new_length() { endProcess(); }
void __throw_bad_cast() { endProcess(); }
void __throw_bad_typeid() { endProcess(); }
void __throw_logic_error(const char*) { endProcess(); }
void __throw_domain_error(const char*) { endProcess(); }
void __throw_invalid_argument(const char*) { endProcess(); }
void __throw_length_error(const char*) { endProcess(); }
void __throw_out_of_range(const char*) { endProcess(); }
void __throw_out_of_range_fmt(const char*, ...) { endProcess(); }
void __throw_runtime_error(const char*) { endProcess(); }
void __throw_range_error(const char*) { endProcess(); }
void __throw_overflow_error(const char*) { endProcess(); }
void __throw_underflow_error(const char*) { endProcess(); }
void __throw_system_error(int) { endProcess(); }
void __throw_bad_function_call() { endProcess(); }
#elif defined(_LIBCPP_VERSION)
// LLVM's library (the ARM64 build) sends every throw helper here when exceptions are off.
void __libcpp_verbose_abort(const char*, ...) { endProcess(); }
#endif

// The strings are instantiated here: the library's own prebuilt ones are linked whole, with
// exception handling of their own.
template class basic_string<char>;
template class basic_string<wchar_t>;

}  // namespace std

extern "C" void __cxa_pure_virtual() { endProcess(); }

// The handler std::terminate would call: the library's prints a demangled name first.
#if defined(__GLIBCXX__)
namespace __cxxabiv1 {
std::terminate_handler __terminate_handler = endProcess;
}  // namespace __cxxabiv1
#endif
