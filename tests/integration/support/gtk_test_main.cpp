// Entry point of every integration test program: GTK needs initialising before any test.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "fakes/temp_dir.h"
#include "support/loopback_http_server.h"
#include "support/process_end.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Settings and history of its own for each test program and what it starts, set before GLib
  // first reads them: no program sees what one run before it stored, so their order never matters.
  auto* home = new quensary::testing::TempDir;
  setenv("XDG_CONFIG_HOME", (home->path() + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (home->path() + "/data").c_str(), 1);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "No display: run integration tests through scripts/headless\n");
    delete home;
    return 1;
  }
  // Tests reach nothing beyond loopback: the update check of a program set up in a test goes to
  // a port where nothing listens, unless the test points it elsewhere.
  setenv("QUENSARY_APPCAST_URL", quensary::testing::ClosedLoopbackAddress().c_str(), 0);
  const int status = RUN_ALL_TESTS();
  // A program set up by a test keeps its threads to the end: leave as it does, without static
  // destructors, its own finishing work first and the folder last.
  quensary::AtProcessEnd([home] { delete home; });
  quensary::EndProcess(status);
}
