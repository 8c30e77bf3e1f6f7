#include "text_conversion.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace zan::config {

namespace {

constexpr std::string_view UTF8 = "UTF-8";
constexpr std::string_view WIDE = "WCHAR_T";
constexpr wchar_t REPLACEMENT_CHARACTER = L'\uFFFD';

struct IconvCloser {
    void operator()(void* handle) const { ::iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenConverter(std::string_view to, std::string_view from) {
    const iconv_t handle = ::iconv_open(std::string(to).c_str(), std::string(from).c_str());
    if (std::bit_cast<std::intptr_t>(handle) == -1) {
        return nullptr;
    }
    return IconvHandle(handle);
}

// Runs iconv over the whole input. An input unit the target cannot take, or
// an invalid one, is replaced and skipped; a truncated sequence at the end is
// replaced once. Nothing when iconv does not know one of the encodings.
std::optional<std::string> Convert(std::string_view input, std::string_view from,
                                   std::string_view to, std::size_t inputUnit,
                                   std::string_view replacement) {
    IconvHandle converter = OpenConverter(to, from);
    if (!converter) {
        return std::nullopt;
    }
    std::string output;
    std::array<char, 4096> chunk{};
    // iconv's interface is not const-correct; it never writes through inbuf.
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* out = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t result = ::iconv(converter.get(), &in, &inLeft, &out, &outLeft);
        const int error = errno;
        output.append(chunk.data(), chunk.size() - outLeft);
        if (result != static_cast<std::size_t>(-1) || error == E2BIG) {
            continue;
        }
        output.append(replacement);
        if (error == EILSEQ && inLeft >= inputUnit) {
            in += inputUnit;
            inLeft -= inputUnit;
        } else {
            break;  // EINVAL: an incomplete sequence at the end of the input
        }
    }
    // Stateful encodings may still owe a shift sequence back to the initial state.
    char* out = chunk.data();
    std::size_t outLeft = chunk.size();
    if (::iconv(converter.get(), nullptr, nullptr, &out, &outLeft) !=
        static_cast<std::size_t>(-1)) {
        output.append(chunk.data(), chunk.size() - outLeft);
    }
    return output;
}

std::string_view WideBytes(const std::wstring_view& wide) {
    return {reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t)};
}

std::wstring WideFromBytes(const std::string& bytes) {
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    bytes.copy(reinterpret_cast<char*>(wide.data()), wide.size() * sizeof(wchar_t));
    return wide;
}

std::string_view ReplacementBytes() {
    return {reinterpret_cast<const char*>(&REPLACEMENT_CHARACTER), sizeof(wchar_t)};
}

// Converts into wide text from a byte encoding. A codeset iconv does not know
// is taken for UTF-8 rather than losing the text.
std::wstring ToWide(std::string_view bytes, std::string_view codeset) {
    auto converted = Convert(bytes, codeset, WIDE, 1, ReplacementBytes());
    if (!converted) {
        converted = Convert(bytes, UTF8, WIDE, 1, ReplacementBytes());
    }
    return WideFromBytes(converted.value_or(std::string()));
}

bool IsCharacter(wchar_t c) {
    const auto code = std::char_traits<wchar_t>::to_int_type(c);
    return code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

// Converts wide text into a byte encoding; "?" stands in for what it lacks.
// Values that are no Unicode character are replaced first: iconv would pass
// some of them on as bytes no UTF-8 reader accepts.
std::string FromWide(std::wstring_view text, std::string_view codeset) {
    std::wstring wide(text);
    for (wchar_t& c : wide) {
        if (!IsCharacter(c)) {
            c = L'?';
        }
    }
    auto converted = Convert(WideBytes(wide), WIDE, codeset, sizeof(wchar_t), "?");
    if (!converted) {
        converted = Convert(WideBytes(wide), WIDE, UTF8, sizeof(wchar_t), "?");
    }
    return converted.value_or(std::string());
}

}  // namespace

std::string CodesetFromLanginfo(std::string_view langinfoCodeset) {
    if (langinfoCodeset.empty() || langinfoCodeset == "ANSI_X3.4-1968" ||
        langinfoCodeset == "ASCII" || langinfoCodeset == "US-ASCII") {
        return std::string(UTF8);
    }
    return std::string(langinfoCodeset);
}

std::string CodesetOfLocale() {
    // nl_langinfo() may hand out a buffer another thread's call overwrites;
    // asking a locale object of our own is safe from any thread.
    const locale_t current = ::uselocale(nullptr);
    if (current != LC_GLOBAL_LOCALE) {
        return CodesetFromLanginfo(::nl_langinfo_l(CODESET, current));
    }
    const std::unique_ptr<std::remove_pointer_t<locale_t>, decltype(&::freelocale)> global(
        ::duplocale(LC_GLOBAL_LOCALE), &::freelocale);
    if (!global) {
        return std::string(UTF8);
    }
    return CodesetFromLanginfo(::nl_langinfo_l(CODESET, global.get()));
}

std::wstring Utf8ToWide(std::string_view utf8) {
    return ToWide(utf8, UTF8);
}

std::string WideToUtf8(std::wstring_view wide) {
    return FromWide(wide, UTF8);
}

std::string WideToCodeset(std::wstring_view wide, std::string_view codeset) {
    return FromWide(wide, codeset);
}

std::wstring CodesetToWide(std::string_view bytes, std::string_view codeset) {
    return ToWide(bytes, codeset);
}

std::string Utf8ToCodeset(std::string_view utf8, std::string_view codeset) {
    return FromWide(Utf8ToWide(utf8), codeset);
}

std::string CodesetToUtf8(std::string_view bytes, std::string_view codeset) {
    return FromWide(ToWide(bytes, codeset), UTF8);
}

std::wstring ThroughCodeset(std::wstring_view wide, std::string_view codeset) {
    return ToWide(FromWide(wide, codeset), codeset);
}

}  // namespace zan::config
