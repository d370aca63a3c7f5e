// The block that the launcher processes of one program share: who may join it.

#include "os/SharedBlock.h"
#include "tests/unit/Test.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

TEST_CASE(shared_block_second_opener_joins_the_first) {
  const std::string name = "unit-shared-block-join";
  os::SharedMapping first, second;
  bool firstNew = false, secondNew = true;
  CHECK(first.createOrOpen(name, 1052, firstNew));
  CHECK(firstNew);
  CHECK(second.createOrOpen(name, 1052, secondNew));
  CHECK(!secondNew);
  unsigned char* a = first.map();
  unsigned char* b = second.map();
  CHECK(a != nullptr && b != nullptr);
  if (a == nullptr || b == nullptr) return;
  CHECK_EQ(static_cast<int>(b[1051]), 0);
  a[1051] = 0x5A;
  CHECK_EQ(static_cast<int>(b[1051]), 0x5A);
  second.close();
  first.close();
  // Gone with its last user: the next opener makes it anew.
  os::SharedMapping again;
  bool againNew = false;
  CHECK(again.createOrOpen(name, 1052, againNew));
  CHECK(againNew);
}

#ifndef _WIN32
// Another user's starts never take part: their requests would not be received. Each user's blocks
// lie in a folder of that user's own, so a block of the same name made by another user is not the
// one we open.
TEST_CASE(shared_block_of_another_user_is_not_joined) {
  if (geteuid() != 0) SKIP("making a block as another user needs root");
  const std::string name = "unit-shared-block-owner";
  int made[2], done[2];
  CHECK(pipe(made) == 0 && pipe(done) == 0);
  const pid_t child = fork();
  if (child == 0) {
    char byte = 0;
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    os::SharedMapping mapping;
    bool created = false;
    byte = mapping.createOrOpen(name, 1052, created) && created ? 'y' : 'n';
    if (write(made[1], &byte, 1) != 1) _exit(3);
    if (read(done[0], &byte, 1) != 1) _exit(4);
    mapping.close();
    _exit(0);
  }
  CHECK(child > 0);
  char byte = 0;
  CHECK(read(made[0], &byte, 1) == 1);
  CHECK_EQ(byte, 'y');
  os::SharedMapping mapping;
  bool created = false;
  CHECK(mapping.createOrOpen(name, 1052, created));
  CHECK(created);
  CHECK(write(done[1], "x", 1) == 1);
  int status = -1;
  CHECK_EQ(waitpid(child, &status, 0), child);
  CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int fd : {made[0], made[1], done[0], done[1]}) close(fd);
}
#endif
