#pragma once
// In-memory WindowSystem for unit tests: windows are added by hand, every
// post is recorded in order.

#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/window_system.h"

namespace zan {

class FakeWindowSystem : public WindowSystem {
public:
    struct Post {
        std::string window;  // "class@title"
        WindowMessage message;
        friend bool operator==(const Post&, const Post&) = default;
    };

    void AddWindow(const std::string& windowClass, const std::string& title) {
        std::lock_guard lock(mutex_);
        windows_.insert(windowClass + "@" + title);
    }
    void RemoveWindow(const std::string& windowClass, const std::string& title) {
        std::lock_guard lock(mutex_);
        windows_.erase(windowClass + "@" + title);
    }

    std::optional<WindowRef> FindWindow(std::string_view windowClass,
                                        std::optional<std::string_view> title) override {
        std::lock_guard lock(mutex_);
        const std::string prefix = std::string(windowClass) + "@";
        for (const auto& name : windows_) {
            if (name.rfind(prefix, 0) != 0) {
                continue;
            }
            if (!title || name.substr(prefix.size()) == *title) {
                return WindowRef{name};
            }
        }
        return std::nullopt;
    }

    bool PostMessage(const WindowRef& window, const WindowMessage& message) override {
        std::lock_guard lock(mutex_);
        if (windows_.count(window.name) == 0) {
            return false;
        }
        posts_.push_back({window.name, message});
        return true;
    }

    std::vector<Post> TakePosts() {
        std::lock_guard lock(mutex_);
        return std::exchange(posts_, {});
    }

private:
    std::mutex mutex_;
    std::set<std::string> windows_;
    std::vector<Post> posts_;
};

}  // namespace zan
