#include "text_conversion.h"

#include <gtest/gtest.h>

#include <string>

namespace zan::config {
namespace {

const std::wstring CHINESE = L"音量+ 自定义程序";

TEST(TextConversion, ChineseSurvivesEveryCodesetThatHoldsIt) {
    for (const char* codeset : {"UTF-8", "GBK", "GB18030"}) {
        EXPECT_EQ(ThroughCodeset(CHINESE, codeset), CHINESE) << codeset;
        EXPECT_EQ(Utf8ToWide(CodesetToUtf8(WideToCodeset(CHINESE, codeset), codeset)), CHINESE)
            << codeset;
    }
}

TEST(TextConversion, GbkBytesAreTheCodesetsOwn) {
    EXPECT_EQ(WideToCodeset(L"音", "GBK"), "\xD2\xF4");
    EXPECT_EQ(Utf8ToCodeset("\xE9\x9F\xB3", "GBK"), "\xD2\xF4");
}

TEST(TextConversion, CharactersOutsideTheCodesetBecomeQuestionMarks) {
    struct Case {
        std::wstring text;
        const char* codeset;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"Grüße 音量", "ISO-8859-1", L"Grüße ??"},
        {L"€5", "ISO-8859-1", L"?5"},
        {L"Straße", "GBK", L"Stra?e"},
        {L"音量", "ASCII", L"??"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ThroughCodeset(c.text, c.codeset), c.expected) << c.codeset;
    }
}

TEST(TextConversion, InvalidUtf8BecomesReplacementCharactersWithoutLosingTheRest) {
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              L"a\uFFFD"
              L"b");
    EXPECT_EQ(Utf8ToWide("ok\xE9\x9F"), L"ok\uFFFD");    // cut off in the middle of a character
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong '/'
    EXPECT_EQ(ThroughCodeset(Utf8ToWide("x\xFEy"), "ISO-8859-1"), L"x?y");
}

TEST(TextConversion, WideTextThatIsNoCharacterBecomesQuestionMark) {
    const std::wstring text{L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(WideToUtf8(text), "a??");
}

TEST(TextConversion, EmptyTextStaysEmpty) {
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToCodeset(L"", "GBK"), "");
    EXPECT_EQ(ThroughCodeset(L"", "ISO-8859-1"), L"");
}

TEST(TextConversion, UnknownCodesetIsTakenForUtf8) {
    EXPECT_EQ(ThroughCodeset(CHINESE, "NO-SUCH-CODESET"), CHINESE);
}

TEST(TextConversion, LongTextCrossesConversionChunks) {
    const std::wstring text(10000, L'音');
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
}

TEST(TextConversion, PlainAsciiLocalesCountAsUtf8) {
    EXPECT_EQ(CodesetFromLanginfo("ANSI_X3.4-1968"), "UTF-8");
    EXPECT_EQ(CodesetFromLanginfo(""), "UTF-8");
    EXPECT_EQ(CodesetFromLanginfo("ISO-8859-1"), "ISO-8859-1");
    EXPECT_EQ(CodesetFromLanginfo("GBK"), "GBK");
    // Tests never call setlocale: the C locale is in force.
    EXPECT_EQ(CodesetOfLocale(), "UTF-8");
}

}  // namespace
}  // namespace zan::config
