#ifndef BASE_TRACE_H
#define BASE_TRACE_H

// The launcher's decision trace: when QL_LAUNCHER_TRACE names a file, each decision is appended to
// it as one line. Unset, a trace costs one test of a flag: the arguments are not even evaluated.

namespace base {

bool traceEnabled();

// printf-style; a line feed is added. Call it through trace(...).
void traceLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace base

#define trace(...) \
  (::base::traceEnabled() ? ::base::traceLine(__VA_ARGS__) : static_cast<void>(0))

#endif
