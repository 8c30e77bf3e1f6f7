#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
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

std::optional<std::int32_t> Number(const ConfigDocument& doc, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& attribute) {
    std::int32_t value = -1;
    ReadConfigNumber(doc, section, key, attribute, value);
    return value == -1 ? std::nullopt : std::optional(value);
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
    OpenConfigDocument(other, testing::kDefaultName, testing::kDataDir, testing::kDataPath, true,
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

// Lowers the largest file size this process may write, with the signal
// that would kill it ignored, so that writing stops half-way with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        (void)signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

TEST_F(DocumentWriter, ASaveThatFailsHalfWayReturnsZeroAndLeavesTheOldFile) {
    fixture_.Open("<Config><KwSet><Choose Set=\"0\"/></KwSet></Config>");
    ASSERT_EQ(Write(L"KwSet", L"Choose", L"Set", L"1"), 1);
    const std::string before = fixture_.FileContent();
    {
        const FileSizeLimit limit(before.size() + 10);
        EXPECT_EQ(Write(L"KwRes", L"Prompt", L"Print", std::wstring(500, L'x').c_str()), 0);
    }
    EXPECT_EQ(fixture_.FileContent(), before);
    EXPECT_EQ(FilesInProgramFolder(), 1u);
    // The next write works again and starts from the file, not the failed attempt.
    EXPECT_EQ(Write(L"KwSet", L"Choose", L"Set", L"0"), 1);
    EXPECT_EQ(fixture_.FileContent().find("Prompt"), std::string::npos);
    EXPECT_EQ(Number(fixture_.Reopen(), L"KwSet", L"Choose", L"Set"), 0);
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
