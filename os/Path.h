#ifndef OS_PATH_H
#define OS_PATH_H

// Paths as text. Every search for a separator steps over double-byte characters of the ANSI code
// page whole, so the trail byte of such a character (which may be 0x5C, a backslash) never counts
// as one.

#include <cstddef>
#include <string>

namespace os {

// Position of the last path separator; npos when there is none.
std::size_t lastSeparator(const std::string& path);

// Whether the path ends with a separator (a drive root, a folder written with one).
bool endsWithSeparator(const std::string& path);

// The folder with a separator appended unless it already ends with one.
std::string withTrailingSeparator(const std::string& folder);

// The folder part of a path, with its trailing separator; empty when the path has none.
std::string folderOf(const std::string& path);

// Where the file name starts: after the last separator, or 0.
std::size_t fileNameStart(const std::string& path);

// Whether the path leads to the same place from any current folder: "/a" on POSIX; "C:\a" and
// "\\server\share" on Windows, where "\a" still depends on the current drive.
bool isAbsolutePath(const std::string& path);

}  // namespace os

#endif
