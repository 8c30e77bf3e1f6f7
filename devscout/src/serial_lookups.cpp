// Cregedit's serial-port look-ups run on a snapshot of the present devices,
// taken afresh by every call so that no state survives between calls.
#include <utility>

#include "devscout/Cregedit.h"
#include "serial_registry_lookups.h"

int Cregedit::GetComNum(std::wstring& portPath, const std::wstring& keyPath,
                        std::wstring valueName) {
    const std::wstring name = std::move(valueName);
    return zan::devscout::ReadComNum(zan::SnapshotLinuxRegistry(), portPath, keyPath, name);
}

int Cregedit::CheckComm(const std::wstring& keyPath, std::uint8_t& linkByte) {
    return zan::devscout::ReadLinkState(zan::SnapshotLinuxRegistry(), keyPath, linkByte);
}

int Cregedit::GetDriverSymbolByReg(std::wstring& link, const std::uint32_t& vendorId,
                                   const std::uint32_t& productId, const std::wstring& classKeyPath,
                                   const std::wstring& subkeyPrefix, std::uint8_t& linkByte) {
    return zan::devscout::FindDriverSymbol(zan::SnapshotLinuxRegistry(), link, vendorId, productId,
                                           classKeyPath, subkeyPrefix, linkByte);
}
