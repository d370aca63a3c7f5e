#ifndef LAUNCHER_TRACE_H
#define LAUNCHER_TRACE_H

// The launcher's decision trace: when QL_LAUNCHER_TRACE names a file, each decision is appended to
// it as one line. Unset, a call costs one test of a flag.

bool traceEnabled();

// printf-style; a line feed is added.
void trace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
