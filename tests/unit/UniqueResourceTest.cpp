#include <vector>

#include "os/UniqueResource.h"
#include "tests/unit/Test.h"

namespace {

// Handles are ints; -7 means none, and every close is recorded.
std::vector<int> closed;

struct CountedTraits {
  using Handle = int;
  static Handle invalid() noexcept { return -7; }
  static void close(Handle handle) noexcept { closed.push_back(handle); }
};

using Counted = UniqueResource<CountedTraits>;

}  // namespace

TEST_CASE(unique_resource_closes_each_handle_exactly_once) {
  closed.clear();
  {
    Counted none;
    CHECK(!none.valid());
    Counted zero(0);  // 0 is a valid handle for these traits: only -7 means none
    CHECK(zero.valid());
    Counted a(1);
    Counted moved(std::move(a));
    CHECK(!a.valid());
    CHECK_EQ(moved.get(), 1);
    Counted b(2);
    b = std::move(moved);  // 2 goes, 1 is now held by b
    CHECK_EQ(closed, (std::vector<int>{2}));
    b.reset(b.get());  // resetting to the same handle must not close it
    CHECK_EQ(closed, (std::vector<int>{2}));
    Counted c(3);
    const int released = c.release();
    CHECK_EQ(released, 3);
    int* slot = c.put();
    *slot = 4;
    CHECK_EQ(c.get(), 4);
  }
  // Destruction in reverse order: c (4), b (1), zero (0); the released 3 is never closed.
  CHECK_EQ(closed, (std::vector<int>{2, 4, 1, 0}));
}
