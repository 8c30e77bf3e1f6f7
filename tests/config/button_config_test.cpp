#include "button_config.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "config/config_document.h"
#include "document_fixture.h"

namespace {

using zan::config::testing::DocumentFixture;

struct Codes {
    std::int32_t click;
    std::int32_t doubleClick;
    std::int32_t combination;
};

constexpr std::array<Codes, KEY_ROW_COUNT> BUILT_IN{{{33, 0, 0},
                                                     {48, 0, 0},
                                                     {22, 86, 0},
                                                     {20, 276, 0},
                                                     {21, 277, 37},
                                                     {19, 275, 38},
                                                     {18, 274, 39},
                                                     {17, 273, 53}}};

void ExpectBuiltInCodes(const ButtonConfig& config) {
    for (std::size_t row = 0; row < BUILT_IN.size(); ++row) {
        EXPECT_EQ(config.keys.at(row).click, BUILT_IN.at(row).click) << "row " << row;
        EXPECT_EQ(config.keys.at(row).doubleClick, BUILT_IN.at(row).doubleClick) << "row " << row;
        EXPECT_EQ(config.keys.at(row).combination, BUILT_IN.at(row).combination) << "row " << row;
    }
}

std::string KeyRows(const char* section, int click, const char* exePath) {
    std::string rows = std::string("<") + section + ">";
    for (int row = 0; row < KEY_ROW_COUNT; ++row) {
        rows += "<Key" + std::to_string(row) + " Click='" + std::to_string(click + row) +
                "' DoubleClick='" + std::to_string(click + 10 + row) + "' Combination='" +
                std::to_string(row + 1) + "' ExePath='" + exePath + std::to_string(row) + "'/>";
    }
    return rows + "</" + section + ">";
}

std::string Document(int chooseSet, const std::string& body = "") {
    return "<Config><KwSet><Choose Set='" + std::to_string(chooseSet) + "'/></KwSet>" +
           KeyRows("Palmkey", 100, "/default/") + KeyRows("PalmkeyCustom", 200, "/custom/") + body +
           "</Config>";
}

const std::string RESOURCES =
    "<KwRes><VolOffSet VolUp='3' VolDn='7'/><DlgShow TimeBegin='10' TimeEnd='20'/>"
    "<DlgShowImg DlgBk='bk.png' Vol='vol.png' VolUp='up.png' VolDn='dn.png' Prt='prt.png' "
    "Cut='cut.png'/><Prompt PrScr='截屏' Print='打印' Vlome='音量：'/></KwRes>";

class ButtonConfigLoader : public ::testing::Test {
protected:
    ButtonConfigLoader() { ResetKeyDefaults(config_); }
    void Load(const std::string& document) { LoadButtonConfig(config_, fixture_.Open(document)); }

    DocumentFixture fixture_;
    ButtonConfig config_;
};

TEST(ButtonConfigDefaults, ResetWritesOnlyTheBuiltInCodes) {
    ButtonConfig config;
    config.keys.at(2).exePath = L"/bin/true";
    config.customMode = 1;
    config.volumePrompt = L"kept";
    ResetKeyDefaults(config);
    ExpectBuiltInCodes(config);
    EXPECT_EQ(config.keys.at(2).exePath, L"/bin/true");
    EXPECT_EQ(config.customMode, 1);
    EXPECT_EQ(config.volumePrompt, L"kept");
    EXPECT_EQ(config.volOffsetUp, 10);
    EXPECT_EQ(config.volOffsetDn, 10);
}

TEST_F(ButtonConfigLoader, DefaultModeReadsPalmkeyAndLeavesProgramPaths) {
    config_.keys.at(3).exePath = L"/from/earlier";
    Load(Document(0, RESOURCES));
    EXPECT_EQ(config_.customMode, 0);
    for (std::size_t row = 0; row < KEY_ROW_COUNT; ++row) {
        EXPECT_EQ(config_.keys.at(row).click, 100 + static_cast<int>(row));
        EXPECT_EQ(config_.keys.at(row).doubleClick, 110 + static_cast<int>(row));
        EXPECT_EQ(config_.keys.at(row).combination, 1 + static_cast<int>(row));
    }
    EXPECT_EQ(config_.keys.at(3).exePath, L"/from/earlier");
    EXPECT_EQ(config_.keys.at(0).exePath, L"");
}

TEST_F(ButtonConfigLoader, CustomModeReadsPalmkeyCustomWithProgramPaths) {
    Load(Document(1, RESOURCES));
    EXPECT_EQ(config_.customMode, 1);
    for (std::size_t row = 0; row < KEY_ROW_COUNT; ++row) {
        EXPECT_EQ(config_.keys.at(row).click, 200 + static_cast<int>(row));
        EXPECT_EQ(config_.keys.at(row).exePath, L"/custom/" + std::to_wstring(row));
    }
}

TEST_F(ButtonConfigLoader, ReadsResourcesWithTheCrossedVolumeOffsets) {
    Load(Document(0, RESOURCES));
    EXPECT_EQ(config_.volOffsetUp, 3);
    EXPECT_EQ(config_.volOffsetDn, 7);
    EXPECT_EQ(config_.popupTimeBegin, 10);
    EXPECT_EQ(config_.popupTimeEnd, 20);
    EXPECT_EQ(config_.popupBackgroundImage, L"bk.png");
    EXPECT_EQ(config_.volumeImage, L"vol.png");
    EXPECT_EQ(config_.volumeUpImage, L"up.png");
    EXPECT_EQ(config_.volumeDownImage, L"dn.png");
    EXPECT_EQ(config_.printImage, L"prt.png");
    EXPECT_EQ(config_.cutImage, L"cut.png");
    EXPECT_EQ(config_.printScreenPrompt, L"截屏");
    EXPECT_EQ(config_.printPrompt, L"打印");
    EXPECT_EQ(config_.volumePrompt, L"音量：");
}

TEST_F(ButtonConfigLoader, SwitchingModesBetweenLoadsTakesEffectInOneReload) {
    Load(Document(1));
    Load(Document(0));
    EXPECT_EQ(config_.keys.at(5).click, 105);
    // The program paths of the last custom load stay for a switch back.
    EXPECT_EQ(config_.keys.at(5).exePath, L"/custom/5");
    Load(Document(2));
    EXPECT_EQ(config_.keys.at(5).click, 205);
}

TEST_F(ButtonConfigLoader, MissingSectionsKeepNumbersAndEmptyTexts) {
    Load(Document(1, RESOURCES));
    Load("<Config><KwSet><Choose Set='1'/></KwSet><KwRes><VolOffSet VolUp='4'/></KwRes></Config>");
    EXPECT_EQ(config_.customMode, 1);
    EXPECT_EQ(config_.keys.at(7).click, 207);
    EXPECT_EQ(config_.keys.at(7).combination, 8);
    for (const auto& key : config_.keys) {
        EXPECT_EQ(key.exePath, L"");
    }
    EXPECT_EQ(config_.volOffsetUp, 4);
    EXPECT_EQ(config_.volOffsetDn, 7);
    EXPECT_EQ(config_.popupTimeEnd, 20);
    EXPECT_EQ(config_.volumePrompt, L"");
    EXPECT_EQ(config_.popupBackgroundImage, L"");
}

TEST_F(ButtonConfigLoader, ADocumentWithoutKwSetUsesPalmkey) {
    Load("<Config>" + KeyRows("Palmkey", 100, "x") + KeyRows("PalmkeyCustom", 200, "y") +
         "</Config>");
    EXPECT_EQ(config_.customMode, 0);
    EXPECT_EQ(config_.keys.at(0).click, 100);
    EXPECT_EQ(config_.volOffsetUp, 10);
    EXPECT_EQ(config_.popupTimeBegin, 0);
}

TEST_F(ButtonConfigLoader, AnEmptyDocumentKeepsTheBuiltInCodes) {
    Load("");
    ExpectBuiltInCodes(config_);
    EXPECT_EQ(config_.volOffsetUp, 10);
}

TEST_F(ButtonConfigLoader, LoadingTheSameDocumentTwiceChangesNothing) {
    const std::string document = Document(1, RESOURCES);
    Load(document);
    const ButtonConfig once = config_;
    Load(document);
    EXPECT_EQ(config_.keys.at(4).exePath, once.keys.at(4).exePath);
    EXPECT_EQ(config_.keys.at(4).combination, once.keys.at(4).combination);
    EXPECT_EQ(config_.volumePrompt, once.volumePrompt);
    EXPECT_EQ(config_.volOffsetDn, once.volOffsetDn);
    EXPECT_EQ(config_.popupTimeBegin, once.popupTimeBegin);
}

TEST(ButtonConfigStore, StartsWithInitialValuesAndPublishesResets) {
    ButtonConfigStore store;
    const auto initial = store.Snapshot();
    EXPECT_EQ(initial->keys.at(0).click, 0);
    EXPECT_EQ(initial->volOffsetUp, 10);
    store.ResetKeyDefaults();
    ExpectBuiltInCodes(*store.Snapshot());
    // A snapshot taken earlier is not changed under its holder.
    EXPECT_EQ(initial->keys.at(0).click, 0);
}

TEST(ButtonConfigStore, ReloadLoadsOnTopOfTheCurrentRecord) {
    DocumentFixture fixture;
    ButtonConfigStore store;
    store.ResetKeyDefaults();
    fixture.SetFileContent(Document(1));
    store.Reload(fixture.Document(), zan::config::testing::DEFAULT_NAME,
                 zan::config::testing::DATA_DIR, zan::config::testing::DATA_PATH, true,
                 fixture.Locations());
    EXPECT_EQ(store.Snapshot()->keys.at(1).exePath, L"/custom/1");
    fixture.SetFileContent("<Config/>");
    store.Reload(fixture.Document(), zan::config::testing::DEFAULT_NAME,
                 zan::config::testing::DATA_DIR, zan::config::testing::DATA_PATH, true,
                 fixture.Locations());
    EXPECT_EQ(store.Snapshot()->keys.at(1).click, 201);
    EXPECT_EQ(store.Snapshot()->keys.at(1).exePath, L"");
}

TEST(ButtonConfigStore, ReadersAlwaysSeeOneWholeLoad) {
    DocumentFixture fixture;
    ButtonConfigStore store;
    // Two documents whose every row differs, with paths long enough to be
    // torn if a reader could see a half-written string.
    const std::string first = Document(1);
    std::string second = "<Config><KwSet><Choose Set='1'/></KwSet><PalmkeyCustom>";
    for (int row = 0; row < KEY_ROW_COUNT; ++row) {
        second += "<Key" + std::to_string(row) +
                  " Click='9' DoubleClick='9' Combination='9' "
                  "ExePath='" +
                  std::string(300, 'z') + "'/>";
    }
    second += "</PalmkeyCustom></Config>";

    std::atomic<bool> done{false};
    std::atomic<int> mixed{0};
    std::atomic<long> snapshots{0};
    std::thread reader([&] {
        while (!done.load()) {
            const auto snapshot = store.Snapshot();
            const bool isSecond = snapshot->keys.at(0).click == 9;
            for (int row = 0; row < KEY_ROW_COUNT; ++row) {
                const auto& key = snapshot->keys.at(static_cast<std::size_t>(row));
                const bool rowIsSecond = key.click == 9 && key.exePath == std::wstring(300, L'z');
                const bool rowIsFirst =
                    key.click == 200 + row && key.exePath == L"/custom/" + std::to_wstring(row);
                const bool rowIsInitial = key.click == 0 && key.exePath.empty();
                if (!(isSecond ? rowIsSecond : (rowIsFirst || rowIsInitial))) {
                    ++mixed;
                }
            }
            store.SetVolumeText(L"音量：" + std::to_wstring(snapshot->keys.at(1).click));
            ++snapshots;
        }
    });
    for (int round = 0; round < 200; ++round) {
        fixture.SetFileContent(round % 2 == 0 ? first : second);
        store.Reload(fixture.Document(), zan::config::testing::DEFAULT_NAME,
                     zan::config::testing::DATA_DIR, zan::config::testing::DATA_PATH, true,
                     fixture.Locations());
        const std::wstring text = store.VolumeText();
        EXPECT_TRUE(text.empty() || text.rfind(L"音量：", 0) == 0);
    }
    done = true;
    reader.join();
    EXPECT_EQ(mixed.load(), 0);
    EXPECT_GT(snapshots.load(), 0);
}

}  // namespace
