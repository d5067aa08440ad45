// Widget suites need a QApplication alive for the whole run; the test
// sources only hold cases.
#include <QApplication>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <memory>

namespace {

// Leak reports are matched to the library an allocation came from. The GL
// driver keeps allocations for the life of the process by design, but it is
// unloaded before the leak check runs, leaving them nameless; holding it
// loaded to the end lets the suppressions recognise them.
void KeepGlDriverLoaded() {
  for (const char* path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"}) {
    if (dlopen(path, RTLD_NOW | RTLD_NODELETE)) return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Test discovery runs at build time, often without a display: listing the
  // cases needs no application.
  bool listing = false;
  for (int i = 1; i < argc; ++i) listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  KeepGlDriverLoaded();
  std::unique_ptr<QApplication> app;
  if (!listing) app = std::make_unique<QApplication>(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
