#pragma once
// Conversions between the document's UTF-8, wide text and the locale's
// codeset (what the programs' users call the ANSI code page). The codeset is
// a parameter so that any codeset iconv knows can be used regardless of the
// locales installed.
//
// Nothing here fails: bytes that are not valid in their encoding become
// U+FFFD, and characters the target codeset cannot hold become '?'.
//
// The one part of config/ that calls the C library directly (iconv, the
// locale's codeset): it only transforms bytes, and its callers pass the
// codeset, so tests choose any codeset without a seam in between.

#include <string>
#include <string_view>

namespace zan::config {

// The codeset of the current LC_CTYPE locale. A plain-ASCII locale (C,
// POSIX) counts as UTF-8, so that the document's texts survive in programs
// that never set a locale.
std::string CodesetOfLocale();
std::string CodesetFromLanginfo(std::string_view langinfoCodeset);

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::string WideToCodeset(std::wstring_view wide, std::string_view codeset);
std::wstring CodesetToWide(std::string_view bytes, std::string_view codeset);

std::string Utf8ToCodeset(std::string_view utf8, std::string_view codeset);
std::string CodesetToUtf8(std::string_view bytes, std::string_view codeset);

// Wide text as it comes back after a trip through the codeset: what the
// codeset cannot hold is '?'.
std::wstring ThroughCodeset(std::wstring_view wide, std::string_view codeset);

}  // namespace zan::config
