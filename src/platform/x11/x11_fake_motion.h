#pragma once

namespace quensary {

// Moves the pointer to (x, y) on the default display's screen with a synthetic XTest motion, as a
// person's hand would; does nothing when the display is not an X11 one. Main thread: it goes
// through GDK's own connection.
void X11FakeMotion(int x, int y);

}  // namespace quensary
