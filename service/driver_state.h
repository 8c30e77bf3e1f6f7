#pragma once
// The service's process-wide state, shared by the main thread and the reader
// thread. Each field that both threads touch is one atomic word; the press
// counter keeps its own count and pending codes (see the logic's press
// counter), so they are not repeated here.

#include <atomic>
#include <thread>

class CDeviceBase;

struct DriverState {
    // The reader keeps reading while non-zero; the main thread clears it to
    // stop the reader.
    std::atomic<int> bRunning{0};
    // The open device the reader reads from, or null. Written by the main
    // thread only while no reader runs.
    std::atomic<CDeviceBase*> pDevice{nullptr};
    // Row chosen by the last combination report; written and read on the
    // reader thread, kept here because it is part of the shared record.
    std::atomic<int> nComboIndex{0};
    // Taken once at start and reused by every reload.
    std::atomic<int> bAdmin{0};
    // The reader thread while one exists; started and joined on the main
    // thread only.
    std::thread hReadThread;
};
