// Entry point of every integration test program: GTK needs initialising before any test.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "No display: run integration tests through scripts/headless\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
