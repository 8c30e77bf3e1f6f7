#include "location_rule.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/config_document.h"
#include "document_fixture.h"
#include "platform/fake_files.h"
#include "scratch_folder.h"

namespace zan::config {
namespace {

using testing::DATA_DIR;
using testing::DATA_PATH;
using testing::DEFAULT_NAME;
using testing::ReadTextFile;
using testing::ScratchFolder;
using testing::WriteTextFile;

const std::string DELIVERED = "<Config><KwSet><Choose Set='1'/></KwSet></Config>";

std::int32_t ChooseSet(const ConfigDocument& doc) {
    std::int32_t value = -1;
    ReadConfigNumber(doc, L"KwSet", L"Choose", L"Set", value);
    return value;
}

class LocationRule : public ::testing::Test {
protected:
    ConfigLocations Locations() const {
        return {scratch_.Path() / "program", scratch_.Path() / "home" / ".config"};
    }
    std::filesystem::path Delivered() const { return Locations().programDir / "Palmkey.xml"; }
    std::filesystem::path PerUser() const {
        return Locations().appDataDir / "ZanSoftware" / "Drivers" / "Palmkey.xml";
    }
    void Open(bool useProgramDir, const ConfigLocations& locations) {
        OpenConfigDocument(doc_, DEFAULT_NAME, DATA_DIR, DATA_PATH, useProgramDir, locations);
    }
    void Open(bool useProgramDir) { Open(useProgramDir, Locations()); }

    ScratchFolder scratch_;
    ConfigDocument doc_;
};

TEST_F(LocationRule, AdministratorUsesTheDeliveredCopyAndCopiesNothing) {
    WriteTextFile(Delivered(), DELIVERED);
    Open(true);
    EXPECT_EQ(doc_.path, Delivered());
    EXPECT_EQ(ChooseSet(doc_), 1);
    EXPECT_FALSE(std::filesystem::exists(Locations().appDataDir));
}

TEST_F(LocationRule, FirstStartCopiesTheDeliveredCopyIntoANewFolderChain) {
    WriteTextFile(Delivered(), DELIVERED);
    ASSERT_FALSE(std::filesystem::exists(scratch_.Path() / "home"));
    Open(false);
    EXPECT_EQ(doc_.path, PerUser());
    EXPECT_EQ(ReadTextFile(PerUser()), DELIVERED);
    EXPECT_EQ(ChooseSet(doc_), 1);
    // The copy leaves no temporary file behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(PerUser().parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(LocationRule, LaterStartsKeepThePerUserCopyEvenWhenTheDeliveredOneChanges) {
    WriteTextFile(Delivered(), DELIVERED);
    Open(false);
    const std::string usersOwn = "<Config><KwSet><Choose Set='0'/></KwSet></Config>";
    WriteTextFile(PerUser(), usersOwn);
    WriteTextFile(Delivered(), "<Config><KwSet><Choose Set='7'/></KwSet></Config>");
    Open(false);
    EXPECT_EQ(ReadTextFile(PerUser()), usersOwn);
    EXPECT_EQ(ChooseSet(doc_), 0);
}

TEST_F(LocationRule, AnythingAtThePerUserPathPreventsTheCopy) {
    WriteTextFile(Delivered(), DELIVERED);
    std::filesystem::create_directories(PerUser().parent_path());
    std::filesystem::create_symlink("nowhere", PerUser());
    Open(false);
    EXPECT_TRUE(std::filesystem::is_symlink(PerUser()));
    EXPECT_EQ(ChooseSet(doc_), -1);
}

TEST_F(LocationRule, WithoutADeliveredCopyTheDocumentIsEmpty) {
    for (const bool useProgramDir : {true, false}) {
        Open(useProgramDir);
        ASSERT_NE(doc_.document, nullptr);
        EXPECT_EQ(ChooseSet(doc_), -1);
    }
    EXPECT_FALSE(std::filesystem::exists(PerUser()));
}

TEST_F(LocationRule, ProgramFoldersLongerThanTheOldPathLimitWork) {
    for (const auto& programDir : {scratch_.Path() / std::string(150, 'p') / std::string(150, 'q'),
                                   testing::VeryLongPathBelow(scratch_.Path() / "long")}) {
        const ConfigLocations locations{programDir, Locations().appDataDir};
        WriteTextFile(programDir / "Palmkey.xml", DELIVERED);
        Open(true, locations);
        EXPECT_EQ(doc_.path, programDir / "Palmkey.xml");
        EXPECT_EQ(ChooseSet(doc_), 1) << programDir.native().size() << " characters";
    }
}

TEST_F(LocationRule, AnApplicationDataFolderLongerThanPathMaxGetsItsCopy) {
    WriteTextFile(Delivered(), DELIVERED);
    const ConfigLocations locations{Locations().programDir,
                                    testing::VeryLongPathBelow(scratch_.Path() / "deep")};
    ASSERT_GT(locations.appDataDir.native().size(), static_cast<std::size_t>(PATH_MAX));
    Open(false, locations);
    EXPECT_EQ(ChooseSet(doc_), 1);
    EXPECT_EQ(ReadTextFile(locations.appDataDir / "ZanSoftware/Drivers/Palmkey.xml"), DELIVERED);
}

TEST_F(LocationRule, UnknownFoldersGiveAnEmptyDocument) {
    WriteTextFile(Delivered(), DELIVERED);
    Open(false, {Locations().programDir, {}});
    EXPECT_TRUE(doc_.path.empty());
    EXPECT_EQ(ChooseSet(doc_), -1);
    Open(true, {{}, Locations().appDataDir});
    EXPECT_EQ(ChooseSet(doc_), -1);
}

// Faults of the first-use copy, on the in-memory file system: none is
// reported, none leaves part of a copy, and the next start copies again.
TEST(LocationRuleFaults, AFailedCopyLeavesNoDocumentAndTheNextStartCopies) {
    const ConfigLocations locations{"/opt/palmkey", "/home/teacher/.config"};
    const std::filesystem::path delivered = "/opt/palmkey/Palmkey.xml";
    const std::filesystem::path perUser = "/home/teacher/.config/ZanSoftware/Drivers/Palmkey.xml";
    struct Case {
        const char* fault;
        std::function<void(zan::FakeFiles&, bool)> set;
    };
    const std::vector<Case> cases = {
        {"folders cannot be made", [](zan::FakeFiles& f, bool on) { f.RefuseNewFolders(on); }},
        {"the disk is full",
         [](zan::FakeFiles& f, bool on) {
             f.FillDiskAfter(on ? std::optional<std::size_t>(10) : std::nullopt);
         }},
        {"the rename is refused", [](zan::FakeFiles& f, bool on) { f.RefuseRenames(on); }},
        {"the delivered copy is unreadable",
         [&](zan::FakeFiles& f, bool on) { f.SetUnreadable(delivered, on); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        zan::FakeFiles files;
        files.AddFile(delivered, DELIVERED);
        ConfigDocument doc(files);

        c.set(files, true);
        OpenConfigDocument(doc, DEFAULT_NAME, DATA_DIR, DATA_PATH, false, locations);
        EXPECT_EQ(doc.path, perUser);
        EXPECT_EQ(ChooseSet(doc), -1);
        EXPECT_EQ(files.Content(perUser), std::nullopt);

        c.set(files, false);
        OpenConfigDocument(doc, DEFAULT_NAME, DATA_DIR, DATA_PATH, false, locations);
        EXPECT_EQ(ChooseSet(doc), 1);
        EXPECT_EQ(files.Content(perUser), DELIVERED);
    }
}

TEST(ProcessLocations, OpeningWithoutLocationsAsksTheDocumentsFiles) {
    zan::FakeFiles files;
    files.SetProgramFolder("/opt/palmkey");
    files.SetHomeFolder("/home/teacher");
    files.SetXdgConfigHome("relative/conf");
    files.AddFile("/opt/palmkey/Palmkey.xml", DELIVERED);
    ConfigDocument doc(files);
    OpenConfigDocument(doc, DEFAULT_NAME, DATA_DIR, DATA_PATH, false);
    EXPECT_EQ(doc.path, "/home/teacher/.config/ZanSoftware/Drivers/Palmkey.xml");
    EXPECT_EQ(ChooseSet(doc), 1);
}

TEST(BackslashFolders, BecomeRelativePaths) {
    struct Case {
        std::wstring backslashed;
        std::filesystem::path expected;
    };
    for (const Case& c :
         {Case{L"\\ZanSoftware\\Drivers\\", "ZanSoftware/Drivers/"},
          Case{L"\\ZanSoftware\\Drivers\\Palmkey.xml", "ZanSoftware/Drivers/Palmkey.xml"},
          Case{L"Palmkey.xml", "Palmkey.xml"}, Case{L"\\\\", ""}, Case{L"", ""}}) {
        EXPECT_EQ(RelativePathFromBackslashes(c.backslashed, "UTF-8"), c.expected);
    }
}

TEST(ApplicationData, FollowsTheXdgRule) {
    struct Case {
        std::filesystem::path xdgConfigHome;
        std::filesystem::path home;
        std::filesystem::path expected;
    };
    for (const Case& c : {Case{"/srv/conf", "/home/teacher", "/srv/conf"},
                          Case{"relative/conf", "/home/teacher", "/home/teacher/.config"},
                          Case{"", "/home/teacher", "/home/teacher/.config"},
                          Case{"/srv/conf", "", "/srv/conf"}, Case{"", "", ""}}) {
        EXPECT_EQ(ApplicationDataFolder(c.xdgConfigHome, c.home), c.expected)
            << c.xdgConfigHome << " " << c.home;
    }
}

TEST(ProcessLocations, ProgramFolderIsThatOfTheRunningProgram) {
    const auto locations = ConfigLocations::ForThisProcess();
    EXPECT_EQ(locations.programDir, std::filesystem::read_symlink("/proc/self/exe").parent_path());
    // HOME or, without it, the account's home folder is always known here.
    EXPECT_FALSE(locations.appDataDir.empty());
}

TEST(ProcessLocations, AdministratorMeansEffectiveUserZero) {
    EXPECT_EQ(IsUserAdministrator(), ::geteuid() == 0);
}

}  // namespace
}  // namespace zan::config
