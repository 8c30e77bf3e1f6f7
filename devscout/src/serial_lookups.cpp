// Placeholder until the serial-port look-ups are written: every look-up
// finds nothing.
#include "devscout/Cregedit.h"

int Cregedit::GetComNum(std::wstring&, const std::wstring&, std::wstring) { return 0; }

int Cregedit::CheckComm(const std::wstring&, std::uint8_t&) { return 0; }

int Cregedit::GetDriverSymbolByReg(std::wstring&, const std::uint32_t&, const std::uint32_t&,
                                   const std::wstring&, const std::wstring&, std::uint8_t&) {
    return 0;
}
