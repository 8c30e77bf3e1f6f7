#pragma once
// Whether a graphical session is reachable. QApplication aborts the process
// when it cannot connect to its display, so the service asks first and runs
// without widgets when the answer is no.

// True when WAYLAND_DISPLAY names a socket that accepts a connection, or
// DISPLAY names an X server that accepts one.
bool DisplayReachable();
