#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/config_document.h"
#include "document_access.h"
#include "document_fixture.h"
#include "platform/fake_files.h"

namespace zan::config {
namespace {

using testing::DocumentFixture;
using zan::FakeFiles;

std::optional<std::int32_t> Number(const ConfigDocument& doc, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& attribute) {
    std::int32_t value = -1;
    ReadConfigNumber(doc, section, key, attribute, value);
    return value == -1 ? std::nullopt : std::optional(value);
}

// The document read again from wherever it was saved.
const ConfigDocument& OpenAgain(ConfigDocument& doc) {
    zan::config::ParseDocumentFile(doc);
    return doc;
}

class DocumentWriter : public ::testing::Test {
protected:
    int Write(const wchar_t* section, const wchar_t* key, const wchar_t* attribute,
              const wchar_t* value) {
        return WriteConfigValue(fixture_.Document(), section, key, attribute, value);
    }
    std::size_t FilesInProgramFolder() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(fixture_.Locations().programDir),
                          std::filesystem::directory_iterator()));
    }

    DocumentFixture fixture_;
};

TEST_F(DocumentWriter, CreatesANewFileWithTheDeclarationFirst) {
    std::filesystem::create_directories(fixture_.Locations().programDir);
    fixture_.Reopen();
    EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"1"), 1);
    EXPECT_EQ(fixture_.FileContent(),
              "<?xml version=\"1.0\" ?>\n"
              "<Config>\n"
              "    <KwSet>\n"
              "        <Choose Set=\"1\"/>\n"
              "    </KwSet>\n"
              "</Config>\n");
}

TEST_F(DocumentWriter, ARootOtherThanConfigGetsASecondTopLevelConfig) {
    fixture_.Open("<Settings><KwSet><Choose Set='0'/></KwSet></Settings>");
    EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"1"), 1);
    EXPECT_EQ(fixture_.FileContent(),
              "<Settings>\n    <KwSet>\n        <Choose Set=\"0\"/>\n    </KwSet>\n</Settings>\n\n"
              "<Config>\n    <KwSet>\n        <Choose Set=\"1\"/>\n    </KwSet>\n</Config>\n");
    // The readers take the first element as the root and do not see the write.
    EXPECT_EQ(Number(fixture_.Reopen(), L"KwSet", L"Choose", L"Set"), 0);
}

TEST_F(DocumentWriter, AnExistingAttributeKeepsItsPlaceANewOneGoesLast) {
    fixture_.Open(
        "<Config><PalmkeyCustom><Key1 Click='48' Combination='2' ExePath='0'/></PalmkeyCustom>"
        "</Config>");
    EXPECT_EQ(Write(L"PalmkeyCustom", L"Key1", L"Combination", L"12"), 1);
    EXPECT_EQ(Write(L"PalmkeyCustom", L"Key1", L"Extra", L"x"), 1);
    EXPECT_NE(fixture_.FileContent().find(
                  "<Key1 Click=\"48\" Combination=\"12\" ExePath=\"0\" Extra=\"x\"/>"),
              std::string::npos)
        << fixture_.FileContent();
}

TEST_F(DocumentWriter, MissingLevelsAreCreatedInOrderAndNullNamesStopThere) {
    fixture_.Open("<?xml version=\"1.0\" ?><Config><KwSet/></Config>");
    EXPECT_EQ(Write(L"KwSet", L"Choose", nullptr, nullptr), 1);
    EXPECT_EQ(Write(L"PalmkeyCustom", nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Write(nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(fixture_.FileContent(),
              "<?xml version=\"1.0\" ?>\n<Config>\n    <KwSet>\n        <Choose/>\n    </KwSet>\n"
              "    <PalmkeyCustom/>\n</Config>\n");
}

TEST_F(DocumentWriter, EachWriteStartsFromTheFileSoOtherProgramsValuesSurvive) {
    fixture_.Open("<Config><KwSet><Choose Set='0'/></KwSet></Config>");
    EXPECT_EQ(Write(L"PalmkeyCustom", L"Key1", L"Combination", L"3"), 1);
    // Another program saves between two writes.
    ConfigDocument other;
    OpenConfigDocument(other, testing::DEFAULT_NAME, testing::DATA_DIR, testing::DATA_PATH, true,
                       fixture_.Locations());
    EXPECT_EQ(WriteConfigValue(other, L"KwRes", L"ComboboxEx", L"Num", L"7"), 1);
    EXPECT_EQ(Write(L"PalmkeyCustom", L"Key2", L"Combination", L"4"), 1);

    const auto& reread = fixture_.Reopen();
    EXPECT_EQ(Number(reread, L"KwRes", L"ComboboxEx", L"Num"), 7);
    EXPECT_EQ(Number(reread, L"PalmkeyCustom", L"Key1", L"Combination"), 3);
    EXPECT_EQ(Number(reread, L"PalmkeyCustom", L"Key2", L"Combination"), 4);
    EXPECT_EQ(Number(reread, L"KwSet", L"Choose", L"Set"), 0);
}

TEST_F(DocumentWriter, AFileRemovedSinceOpeningIsRewrittenFromMemoryAndStaysReadable) {
    fixture_.Open("<?xml version=\"1.0\" ?><Config><KwRes><Img Num='12'/></KwRes></Config>");
    std::filesystem::remove(fixture_.DocumentPath());
    EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"1"), 1);
    EXPECT_EQ(fixture_.FileContent().rfind("<?xml", 0), 0u);
    EXPECT_EQ(fixture_.FileContent().find("<?xml", 1), std::string::npos);
    const auto& reread = fixture_.Reopen();
    EXPECT_EQ(Number(reread, L"KwRes", L"Img", L"Num"), 12);
    EXPECT_EQ(Number(reread, L"KwSet", L"Choose", L"Set"), 1);
}

TEST_F(DocumentWriter, ADocumentWithoutDeclarationGetsOneFirstWhenTheFileIsGone) {
    fixture_.Open("<Config><KwRes><Img Num='12'/></KwRes></Config>");
    std::filesystem::remove(fixture_.DocumentPath());
    EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"1"), 1);
    EXPECT_EQ(fixture_.FileContent().rfind("<?xml version=\"1.0\" ?>\n<Config>", 0), 0u);
    EXPECT_EQ(Number(fixture_.Reopen(), L"KwRes", L"Img", L"Num"), 12);
}

TEST_F(DocumentWriter, AFileThatDoesNotParseIsReplacedByTheWrittenValue) {
    fixture_.Open("<Config><KwSet>");
    EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"0"), 1);
    EXPECT_EQ(fixture_.FileContent(),
              "<?xml version=\"1.0\" ?>\n<Config>\n    <KwSet>\n        <Choose Set=\"0\"/>\n"
              "    </KwSet>\n</Config>\n");
}

TEST_F(DocumentWriter, TextsAreStoredAsUtf8AndEscaped) {
    fixture_.Open("<Config/>");
    EXPECT_EQ(Write(L"PalmkeyCustom", L"Key3", L"ExePath", L"/opt/白板/run \"now\" & <go>"), 1);
    std::optional<std::wstring> path;
    ReadConfigText(fixture_.Reopen(), L"PalmkeyCustom", L"Key3", L"ExePath", path);
    EXPECT_EQ(path, L"/opt/白板/run \"now\" & <go>");
    EXPECT_NE(fixture_.FileContent().find("/opt/\xE7\x99\xBD\xE6\x9D\xBF/run &quot;now&quot; "
                                          "&amp; &lt;go&gt;"),
              std::string::npos)
        << fixture_.FileContent();
}

TEST_F(DocumentWriter, ValuesPassThroughTheLocalesCodeset) {
    fixture_.Open("<Config/>");
    EXPECT_EQ(WriteConfigValueInCodeset(fixture_.Document(), L"S", L"K", L"v", L"Grüße 音量",
                                        "ISO-8859-1"),
              1);
    EXPECT_NE(fixture_.FileContent().find("v=\"Gr\xC3\xBC\xC3\x9F"
                                          "e ??\""),
              std::string::npos)
        << fixture_.FileContent();
}

TEST_F(DocumentWriter, NamesThatCannotBeSavedAsMarkupAreRefused) {
    const std::string original = "<Config><KwSet><Choose Set=\"0\"/></KwSet></Config>";
    fixture_.Open(original);
    for (const wchar_t* bad : {L"", L"two words", L"a<b", L"1st", L"x=\"y\""}) {
        EXPECT_EQ(Write(bad, L"Choose", L"Set", L"1"), 0);
        EXPECT_EQ(Write(L"KwSet", bad, L"Set", L"1"), 0);
        EXPECT_EQ(Write(L"KwSet", L"Choose", bad, L"1"), 0);
    }
    EXPECT_EQ(fixture_.FileContent(), original);
}

TEST_F(DocumentWriter, ASymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    const auto target = fixture_.Folder().Path() / "elsewhere" / "real.xml";
    testing::WriteTextFile(target, "<Config><KwSet><Choose Set='0'/></KwSet></Config>");
    std::filesystem::create_directories(fixture_.Locations().programDir);
    std::filesystem::create_symlink("../elsewhere/real.xml", fixture_.DocumentPath());
    fixture_.Reopen();
    EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"1"), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(fixture_.DocumentPath()));
    EXPECT_EQ(std::filesystem::read_symlink(fixture_.DocumentPath()), "../elsewhere/real.xml");
    EXPECT_NE(testing::ReadTextFile(target)->find("Set=\"1\""), std::string::npos);
    EXPECT_EQ(FilesInProgramFolder(), 1u);
}

TEST_F(DocumentWriter, TheFileKeepsItsPermissions) {
    fixture_.Open("<Config/>");
    for (const auto mode : {std::filesystem::perms(0640), std::filesystem::perms(0600),
                            std::filesystem::perms(0444)}) {
        std::filesystem::permissions(fixture_.DocumentPath(), mode);
        EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"1"), 1);
        EXPECT_EQ(std::filesystem::status(fixture_.DocumentPath()).permissions(), mode);
    }
}

// Faults the real file system cannot be made to show on demand, on the
// in-memory one: the save fails whole, and the next save after the fault
// starts from the file again.
TEST(DocumentWriterFaults, AFailedSaveReturnsZeroAndLeavesTheOldFile) {
    const std::filesystem::path program = "/opt/palmkey";
    const std::filesystem::path document = program / "Palmkey.xml";
    const std::string original = "<Config><KwSet><Choose Set=\"0\"/></KwSet></Config>";
    struct Case {
        const char* fault;
        std::function<void(FakeFiles&)> cause;
        std::function<void(FakeFiles&)> clear;
    };
    const std::vector<Case> cases = {
        {"a disk that fills up half-way",
         [&](FakeFiles& files) { files.FillDiskAfter(original.size() + 10); },
         [](FakeFiles& files) { files.FillDiskAfter(std::nullopt); }},
        {"a refused rename", [](FakeFiles& files) { files.RefuseRenames(true); },
         [](FakeFiles& files) { files.RefuseRenames(false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        FakeFiles files;
        files.AddFile(document, original);
        ConfigDocument doc(files);
        OpenConfigDocument(doc, testing::DEFAULT_NAME, testing::DATA_DIR, testing::DATA_PATH, true,
                           {program, "/home/teacher/.config"});

        c.cause(files);
        EXPECT_EQ(
            WriteConfigValue(doc, L"KwRes", L"Prompt", L"Print", std::wstring(500, L'x').c_str()),
            0);
        EXPECT_EQ(files.Content(document), original);

        c.clear(files);
        EXPECT_EQ(WriteConfigValue(doc, L"KwSet", L"Choose", L"Set", L"1"), 1);
        EXPECT_EQ(files.Content(document)->find("Prompt"), std::string::npos);
        EXPECT_EQ(Number(OpenAgain(doc), L"KwSet", L"Choose", L"Set"), 1);
    }
}

TEST_F(DocumentWriter, AFolderThatIsGoneMakesTheSaveFail) {
    fixture_.Open("<Config/>");
    std::filesystem::remove_all(fixture_.Locations().programDir);
    EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"1"), 0);
    ConfigDocument neverOpened;
    EXPECT_EQ(WriteConfigValue(neverOpened, L"KwSet", L"Choose", L"Set", L"1"), 0);
}

}  // namespace
}  // namespace zan::config
