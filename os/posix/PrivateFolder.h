#ifndef OS_POSIX_PRIVATEFOLDER_H
#define OS_POSIX_PRIVATEFOLDER_H

// Where the launcher processes of one user meet on POSIX: a folder only that user can reach, so
// that no other user can see, squat or forge the shared blocks and the message sockets in it.

#include <string>

#include "os/posix/Handles.h"

namespace os {
namespace posix {

// $XDG_RUNTIME_DIR/ql-launcher when the runtime folder is the user's own with mode 0700, else
// ql-launcher-<uid> in the temporary folder ($TMPDIR, else /tmp); created with mode 0700 when
// missing. False, with the reason in why, when the folder there is a link, has another owner or
// grants any right to others: it is never used then.
bool privateFolder(std::string& folder, std::string& why);

// Whether path is a real folder (not a link) of this user that grants others no right at all;
// false with the reason in why.
bool checkPrivateFolder(const std::string& path, std::string& why);

// Makes the folder with mode 0700 when it is missing, then checks it as checkPrivateFolder does.
bool makePrivateFolder(const std::string& path, std::string& why);

// Opens (and, with O_CREAT in flags, creates with mode 0600) a file of the private folder without
// following a link, and only when it is a regular file of this user; otherwise closes it again and
// says why.
UniqueFd openPrivateFile(const std::string& path, int flags, std::string& why);

}  // namespace posix
}  // namespace os

#endif
