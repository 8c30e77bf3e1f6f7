#include "devscout/Cregedit.h"
#include "hidraw_search.h"
#include "path_text.h"

int Cregedit::GetHIDDevicePathName(std::wstring& path, std::uint32_t vendorId,
                                   std::uint32_t productId, std::uint32_t /*unused*/) {
    path.clear();
    const zan::devscout::HidrawSearchResult result =
        zan::devscout::FindHidrawNode(vendorId, productId);
    if (result.status != zan::devscout::HidrawSearchResult::Status::Found) {
        return 0;
    }
    try {
        path = zan::devscout::WideFromUtf8(result.devnode);
    } catch (const std::bad_alloc&) {
        path.clear();
        return 0;
    }
    return 1;
}
