#pragma once

namespace quensary {

// Runs the program: one instance per session (a second start brings the running one's main
// window forward and ends at once), the permission window first, then window setup once the
// desktop's accessibility is on. Returns the exit status.
int RunApplication(int argc, char** argv);

}  // namespace quensary
