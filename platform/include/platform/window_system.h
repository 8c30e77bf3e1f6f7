#pragma once
// The window system as the logic sees it: find a window by class and title,
// post it a message. On Linux a "window" is a window endpoint (a datagram
// socket in the user's runtime folder, see endpoints.h); X11 windows join
// later behind the same interface.
//
// Logic code talks only to this interface; tests use FakeWindowSystem.
// Implementations are safe to call from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zan {

// A message as it travels: number, wParam, lParam. Nothing answers it.
struct WindowMessage {
    std::uint32_t message = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    friend bool operator==(const WindowMessage&, const WindowMessage&) = default;
};

// Identifies a found window. Valid until the window goes away; posting to a
// window that went away fails.
struct WindowRef {
    std::string name;  // the endpoint's file name, e.g. "%2332770@ZanDriverSrv"
    friend bool operator==(const WindowRef&, const WindowRef&) = default;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // title nullopt means any title: the first live window of that class in
    // name order.
    virtual std::optional<WindowRef> FindWindow(std::string_view windowClass,
                                                std::optional<std::string_view> title) = 0;

    // Queues the message; true when it was queued. Nothing answers. May
    // wait a short, bounded time for a busy receiver (the endpoints' rule).
    virtual bool PostMessage(const WindowRef& window, const WindowMessage& message) = 0;
};

}  // namespace zan
