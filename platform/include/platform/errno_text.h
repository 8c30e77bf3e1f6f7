#pragma once
// The system's text for an errno value, safe to use from any thread.

#include <cstring>
#include <string>

namespace zan {

inline std::string ErrnoText(int errorNumber) {
    char buffer[256] = {};
    // The GNU strerror_r returns the text, in buffer or in static storage.
    return ::strerror_r(errorNumber, buffer, sizeof buffer);
}

}  // namespace zan
