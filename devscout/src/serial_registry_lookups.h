#pragma once
// The serial-port look-ups on any registry view. Cregedit runs them on a
// fresh snapshot of the Linux view; tests run them on a MemoryRegistry. Not
// part of the library's exported interface.
//
// Results and arguments are those of the Cregedit operations of the same
// names. Every key opened here is closed before the function returns, on
// every path (handles are RAII).

#include <cstdint>
#include <string>

#include "platform/registry_view.h"

namespace zan::devscout {

// "VID_%4x&PID_%4x": lower-case hex, at least four characters each, padded
// with spaces. An id below 0x1000 thus carries a space that no interface key
// name holds, and an id above 0xFFFF a fifth digit: neither ever matches.
std::wstring InterfaceIdText(std::uint32_t vendorId, std::uint32_t productId);

int ReadComNum(const zan::RegistryView& registry, std::wstring& portPath,
               const std::wstring& keyPath, const std::wstring& valueName);

int ReadLinkState(const zan::RegistryView& registry, const std::wstring& keyPath,
                  std::uint8_t& linkByte);

int FindDriverSymbol(const zan::RegistryView& registry, std::wstring& link, std::uint32_t vendorId,
                     std::uint32_t productId, const std::wstring& classKeyPath,
                     const std::wstring& subkeyPrefix, std::uint8_t& linkByte);

}  // namespace zan::devscout
