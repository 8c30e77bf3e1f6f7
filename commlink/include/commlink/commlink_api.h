#pragma once
// What differs between the two builds of the device I/O library: the string
// type of its interface. CommlinkW uses std::wstring, CommlinkA (built with
// COMMLINK_NARROW, which its users get through the target) std::string.

#include <string>

#if defined(COMMLINK_BUILDING)
#define COMMLINK_API __attribute__((visibility("default")))
#else
#define COMMLINK_API
#endif

#if defined(COMMLINK_NARROW)
using CommlinkString = std::string;
#else
using CommlinkString = std::wstring;
#endif
