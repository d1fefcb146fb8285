// main() of the test programs: exports the source and build folders the tests look for
// (CTest's discovered tests take only one environment entry), then runs every test.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  ::setenv("WENDLAR_SOURCE_DIR", WENDLAR_TEST_SOURCE_DIR, 0);
  ::setenv("WENDLAR_BINARY_DIR", WENDLAR_TEST_BINARY_DIR, 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
