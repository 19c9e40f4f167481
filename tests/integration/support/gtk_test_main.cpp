// Entry point of every integration test program: GTK needs initialising before any test.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/loopback_http_server.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "No display: run integration tests through scripts/headless\n");
    return 1;
  }
  // Tests reach nothing beyond loopback: the update check of a program set up in a test goes to
  // a port where nothing listens, unless the test points it elsewhere.
  const std::string nowhere =
      "http://127.0.0.1:" + std::to_string(quensary::testing::ClosedLoopbackPort()) + "/";
  setenv("QUENSARY_APPCAST_URL", nowhere.c_str(), 0);
  return RUN_ALL_TESTS();
}
