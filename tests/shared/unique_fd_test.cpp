// UniqueFd closes exactly the descriptor it owns, exactly once, and keeps the caller's errno.

#include "shared/posix/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace kit::posix {
namespace {

bool is_open(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// Both ends of a fresh pipe.
std::array<int, 2> make_pipe() {
  std::array<int, 2> ends{-1, -1};
  EXPECT_EQ(::pipe(ends.data()), 0);
  return ends;
}

TEST(UniqueFdTest, ClosesWhatItOwnsWhicheverWayOwnershipEnds) {
  struct Case {
    const char* what;
    // Ends the ownership of `fd`; answers whether `fd` was closed and `other` left open.
    bool (*run)(int fd, int other);
  };
  const Case cases[] = {
      {"scope end",
       [](int fd, int other) {
         { const UniqueFd owner(fd); }
         return !is_open(fd) && is_open(other);
       }},
      {"reset()",
       [](int fd, int other) {
         UniqueFd owner(fd);
         owner.reset();
         return !is_open(fd) && is_open(other) && !owner;
       }},
      {"reset(other) takes the other",
       [](int fd, int other) {
         UniqueFd owner(fd);
         owner.reset(other);
         const bool closed_only_fd = !is_open(fd) && is_open(other) && owner.get() == other;
         owner.release();
         return closed_only_fd;
       }},
      {"moved over",
       [](int fd, int other) {
         UniqueFd owner(fd);
         owner = UniqueFd(other);
         const bool closed_only_fd = !is_open(fd) && is_open(other) && owner.get() == other;
         owner.release();
         return closed_only_fd;
       }},
  };
  for (const Case& c : cases) {
    const auto [fd, other] = make_pipe();
    EXPECT_TRUE(c.run(fd, other)) << c.what;
    ::close(other);
  }
}

TEST(UniqueFdTest, MoveAndReleaseHandOverWithoutClosing) {
  const auto [read_end, write_end] = make_pipe();
  UniqueFd second;
  {
    UniqueFd first(read_end);
    second = UniqueFd(std::move(first));
  }  // the moved-from owner ends without closing
  EXPECT_TRUE(is_open(read_end));
  EXPECT_EQ(second.get(), read_end);
  auto& alias = second;
  second = std::move(alias);  // a self-move keeps the descriptor
  EXPECT_TRUE(is_open(read_end));
  EXPECT_EQ(second.release(), read_end);
  EXPECT_FALSE(second);
  EXPECT_TRUE(is_open(read_end)) << "release() gives the descriptor up without closing it";
  ::close(read_end);
  ::close(write_end);
}

TEST(UniqueFdTest, ClosingKeepsTheCallersErrno) {
  const auto [read_end, write_end] = make_pipe();
  UniqueFd owner(read_end);
  errno = ENOSPC;
  owner.reset();
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_FALSE(is_open(read_end));
  ::close(write_end);
}

}  // namespace
}  // namespace kit::posix
