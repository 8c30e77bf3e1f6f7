#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "config/config_document.h"
#include "document_access.h"
#include "document_fixture.h"

namespace zan::config {
namespace {

using testing::DocumentFixture;

constexpr std::int32_t UNTOUCHED = -12345;

std::optional<std::int32_t> Number(const ConfigDocument& doc, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& attribute) {
    std::int32_t value = UNTOUCHED;
    EXPECT_EQ(ReadConfigNumber(doc, section, key, attribute, value), 1);
    return value == UNTOUCHED ? std::nullopt : std::optional(value);
}

std::optional<std::wstring> Text(const ConfigDocument& doc, const std::wstring& section,
                                 const std::wstring& key, const std::wstring& attribute) {
    std::optional<std::wstring> value;
    EXPECT_EQ(ReadConfigText(doc, section, key, attribute, value), 1);
    return value;
}

class DocumentReader : public ::testing::Test {
protected:
    DocumentFixture fixture_;
};

TEST_F(DocumentReader, RootMayHaveAnyName) {
    const auto& doc =
        fixture_.Open("<Anything><KwSet><Choose Set='1' Name='x'/></KwSet></Anything>");
    EXPECT_EQ(Number(doc, L"KwSet", L"Choose", L"Set"), 1);
    EXPECT_EQ(Text(doc, L"KwSet", L"Choose", L"Name"), L"x");
}

TEST_F(DocumentReader, OnlyTheFirstTopLevelElementIsTheRoot) {
    const auto& doc = fixture_.Open(
        "<?xml version='1.0' ?><!-- note --><First/><Config><KwSet><Choose Set='1'/></KwSet>"
        "</Config>");
    EXPECT_EQ(Number(doc, L"KwSet", L"Choose", L"Set"), std::nullopt);
}

TEST_F(DocumentReader, NumbersTakeTheLastSectionTextsOnlyTheFirst) {
    const auto& doc = fixture_.Open(
        "<Config>"
        "<KwRes><VolOffSet VolUp='3' VolDn='4'/><Title name='first'/></KwRes>"
        "<Other><VolOffSet VolUp='99'/></Other>"
        "<KwRes><VolOffSet VolUp='5' VolDn='x'/><Title name='second'/>"
        "<Prompt Print='later only'/></KwRes>"
        "</Config>");
    EXPECT_EQ(Number(doc, L"KwRes", L"VolOffSet", L"VolUp"), 5);
    // The later section's value is no number, so the earlier one stands.
    EXPECT_EQ(Number(doc, L"KwRes", L"VolOffSet", L"VolDn"), 4);
    EXPECT_EQ(Text(doc, L"KwRes", L"Title", L"name"), L"first");
    EXPECT_EQ(Text(doc, L"KwRes", L"Prompt", L"Print"), std::nullopt);
}

TEST_F(DocumentReader, OnlyTheFirstKeyElementOfANameIsExamined) {
    const auto& doc = fixture_.Open(
        "<Config><KwRes><Title name='one'/><Title name='two'/>"
        "<Img/><Img Num='12'/></KwRes></Config>");
    EXPECT_EQ(Text(doc, L"KwRes", L"Title", L"name"), L"one");
    EXPECT_EQ(Number(doc, L"KwRes", L"Img", L"Num"), std::nullopt);
}

TEST_F(DocumentReader, NamesAreComparedExactly) {
    const auto& doc = fixture_.Open("<Config><KwSet><Choose Set='1'/></KwSet></Config>");
    EXPECT_EQ(Number(doc, L"kwset", L"Choose", L"Set"), std::nullopt);
    EXPECT_EQ(Number(doc, L"KwSet", L"choose", L"Set"), std::nullopt);
    EXPECT_EQ(Number(doc, L"KwSet", L"Choose", L"set"), std::nullopt);
}

TEST_F(DocumentReader, NumbersFollowThePercentDRule) {
    const auto& doc = fixture_.Open(
        "<Config><S><K plus='+7' blanks='  12' trailing='15px' letter='x1' big='2147483648' "
        "least='-2147483648' empty=''/></S></Config>");
    EXPECT_EQ(Number(doc, L"S", L"K", L"plus"), 7);
    EXPECT_EQ(Number(doc, L"S", L"K", L"blanks"), 12);
    EXPECT_EQ(Number(doc, L"S", L"K", L"trailing"), 15);
    EXPECT_EQ(Number(doc, L"S", L"K", L"letter"), std::nullopt);
    EXPECT_EQ(Number(doc, L"S", L"K", L"big"), std::nullopt);
    EXPECT_EQ(Number(doc, L"S", L"K", L"least"), INT32_MIN);
    EXPECT_EQ(Number(doc, L"S", L"K", L"empty"), std::nullopt);
}

TEST_F(DocumentReader, MissingPartsLeaveTheTargetAlone) {
    const auto& doc = fixture_.Open("<Config><KwRes><Title name='t'/></KwRes></Config>");
    EXPECT_EQ(Number(doc, L"Missing", L"Title", L"name"), std::nullopt);
    EXPECT_EQ(Number(doc, L"KwRes", L"Missing", L"name"), std::nullopt);
    EXPECT_EQ(Text(doc, L"KwRes", L"Title", L"missing"), std::nullopt);
    // The caller's previous text is not replaced by an absent value.
    std::optional<std::wstring> previous = L"kept";
    ReadConfigText(doc, L"KwRes", L"Missing", L"name", previous);
    EXPECT_EQ(previous, L"kept");
}

TEST_F(DocumentReader, EntitiesAndEmptyTextsReadAsWritten) {
    const auto& doc = fixture_.Open(
        "<Config><KwRes><Prompt Print='a &amp; &lt;b&gt; &quot;c&quot;' Vlome=''/></KwRes>"
        "</Config>");
    EXPECT_EQ(Text(doc, L"KwRes", L"Prompt", L"Print"), L"a & <b> \"c\"");
    EXPECT_EQ(Text(doc, L"KwRes", L"Prompt", L"Vlome"), L"");
}

TEST_F(DocumentReader, ChineseTextSurvivesUnderAUtf8Locale) {
    const auto& doc =
        fixture_.Open("<Config><KwRes><ImgStr Str0='音量+' Str11='自定义程序'/></KwRes></Config>");
    EXPECT_EQ(Text(doc, L"KwRes", L"ImgStr", L"Str0"), L"音量+");
    EXPECT_EQ(Text(doc, L"KwRes", L"ImgStr", L"Str11"), L"自定义程序");
}

TEST_F(DocumentReader, TextComesBackThroughTheLocalesCodeset) {
    const auto& doc = fixture_.Open("<Config><KwRes><Title name='Grüße 音量'/></KwRes></Config>");
    struct Case {
        const char* codeset;
        std::wstring expected;
    };
    for (const Case& c : {Case{"ISO-8859-1", L"Grüße ??"}, Case{"GBK", L"Grü?e 音量"},
                          Case{"UTF-8", L"Grüße 音量"}}) {
        std::optional<std::wstring> value;
        ReadConfigTextInCodeset(doc, L"KwRes", L"Title", L"name", value, c.codeset);
        EXPECT_EQ(value, c.expected) << c.codeset;
    }
}

TEST_F(DocumentReader, InvalidUtf8InTheFileIsReadWithoutHarm) {
    const auto& doc = fixture_.Open("<Config><KwRes><Title name='a\xFF\xC3z'/></KwRes></Config>");
    EXPECT_EQ(Text(doc, L"KwRes", L"Title", L"name"), L"a\uFFFD\uFFFDz");
}

TEST_F(DocumentReader, ADocumentThatDoesNotParseIsEmpty) {
    for (const char* broken :
         {"<Config><KwSet><Choose Set='1'/></KwSet><KwRes>",
          "<Config><KwSet><Choose Set='1'/>"
          "</KwSet></Config><?xml version='1.0'?>",
          "<Config><KwSet><Choose Set='1' Set='2'/></KwSet></Config>", "not xml at all"}) {
        const auto& doc = fixture_.Open(broken);
        EXPECT_EQ(Number(doc, L"KwSet", L"Choose", L"Set"), std::nullopt) << broken;
    }
}

TEST_F(DocumentReader, NoFileAndNoElementsMeanNoValues) {
    ConfigDocument neverOpened;
    EXPECT_EQ(Number(neverOpened, L"KwSet", L"Choose", L"Set"), std::nullopt);
    EXPECT_EQ(Text(neverOpened, L"KwRes", L"Title", L"name"), std::nullopt);

    const auto& missing = fixture_.Reopen();
    ASSERT_NE(missing.document, nullptr);
    EXPECT_EQ(Number(missing, L"KwSet", L"Choose", L"Set"), std::nullopt);

    const auto& empty = fixture_.Open("<?xml version='1.0'?><!-- nothing -->");
    EXPECT_EQ(Text(empty, L"KwRes", L"Title", L"name"), std::nullopt);
}

TEST_F(DocumentReader, SomethingOtherThanAFileInItsPlaceReadsAsNoDocument) {
    fixture_.Open("<Config/>");
    std::filesystem::remove(fixture_.DocumentPath());
    ASSERT_EQ(::mkfifo(fixture_.DocumentPath().c_str(), 0600), 0);
    EXPECT_EQ(Number(fixture_.Reopen(), L"KwSet", L"Choose", L"Set"), std::nullopt);
    std::filesystem::remove(fixture_.DocumentPath());
    std::filesystem::create_directory(fixture_.DocumentPath());
    EXPECT_EQ(Number(fixture_.Reopen(), L"KwSet", L"Choose", L"Set"), std::nullopt);
}

TEST_F(DocumentReader, OpeningAgainReplacesTheDocument) {
    auto& doc = fixture_.Open("<Config><KwSet><Choose Set='1'/></KwSet></Config>");
    fixture_.SetFileContent("<Config><KwSet><Choose Set='2'/></KwSet></Config>");
    EXPECT_EQ(Number(doc, L"KwSet", L"Choose", L"Set"), 1);
    fixture_.Reopen();
    EXPECT_EQ(Number(doc, L"KwSet", L"Choose", L"Set"), 2);
}

}  // namespace
}  // namespace zan::config
