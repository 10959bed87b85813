#include <csignal>
#include <cstdio>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // A peer that vanishes must fail a send, not kill the test program.
  std::signal(SIGPIPE, SIG_IGN);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
