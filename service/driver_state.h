#pragma once
// The service's process-wide state. What the reader thread shares with the
// main thread lives with its owner instead: the device, the reader and its
// running flag with the device connection, the press count and pending codes
// with the press counter, the key rows with the configuration store.

#include <atomic>

struct DriverState {
    // Taken once at start and reused by every reload.
    std::atomic<int> bAdmin{0};
};
