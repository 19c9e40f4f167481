#include <cstdlib>

#include "app/application.h"
#include "support/process_end.h"

int main(int argc, char** argv) {
  // The overlay needs X11's input shapes, stacking and global pointer: under Wayland the program
  // runs through XWayland.
  setenv("GDK_BACKEND", "x11", 1);
  const int status = quensary::RunApplication(argc, argv);
  // No static destructor may run while other threads of the program are still at work.
  quensary::EndProcess(status);
}
