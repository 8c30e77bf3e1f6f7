#pragma once
// The result a channel's read gives when the read could not even start (no
// open handle, a device that is gone), as opposed to 0 for "nothing came".
// The service's reader passes it on and its report decoder ignores it.

#include <cstdint>

inline constexpr std::uint32_t READ_FAILED = 0xFFFFFFFF;
