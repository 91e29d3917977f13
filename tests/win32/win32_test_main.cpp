// Runs the Win32 platform's tests with COM and OLE set up, as the program has them.
#include <gtest/gtest.h>
#include <ole2.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) return 2;
  const int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
