#pragma once
// The document operations with the codeset given instead of taken from the
// locale, so that callers (and tests) can use any codeset iconv knows.

#include <optional>
#include <string>
#include <string_view>

#include "config/config_document.h"

namespace zan::config {

void ParseDocumentFile(ConfigDocument& doc);

int ReadConfigTextInCodeset(const ConfigDocument& doc, const std::wstring& section,
                            const std::wstring& key, const std::wstring& attribute,
                            std::optional<std::wstring>& target, std::string_view codeset);

int WriteConfigValueInCodeset(ConfigDocument& doc, const wchar_t* section, const wchar_t* key,
                              const wchar_t* attribute, const wchar_t* value,
                              std::string_view codeset);

}  // namespace zan::config
