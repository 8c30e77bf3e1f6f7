#pragma once
// The test that decides whether a device-interface notice concerns the
// Palmkey. Interface names look like \\?\HID#VID_1314&PID_1070#... or
// \\?\USB#VID_1314&PID_1070#...: the identifier starts at character 8 in
// both, so the test looks there and nowhere else, whatever the interface
// class of the notice.

#include <string>

// True when the 17 characters from index 8, upper-cased, are
// "VID_1314&PID_1070". A name shorter than 25 characters never matches.
// Upper-casing is ASCII-only: the identifier is ASCII, and a locale must not
// change the answer.
bool MatchDeviceName(const std::wstring& interfaceName);
