#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "button_config.h"
#include "config/config_document.h"
#include "document_fixture.h"

namespace {

using zan::config::testing::DATA_DIR;
using zan::config::testing::DATA_PATH;
using zan::config::testing::DEFAULT_NAME;

class DeliveredDocument : public ::testing::Test {
protected:
    void SetUp() override {
        // The copy the build puts next to the programs, as an administrator opens it.
        OpenConfigDocument(doc_, DEFAULT_NAME, DATA_DIR, DATA_PATH, true,
                           {PALMKEY_PROGRAM_DIR, {}});
        ASSERT_TRUE(doc_.document != nullptr);
    }
    std::optional<std::int32_t> Number(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& attribute) const {
        std::int32_t value = INT32_MIN;
        ReadConfigNumber(doc_, section, key, attribute, value);
        return value == INT32_MIN ? std::nullopt : std::optional(value);
    }
    std::wstring Text(const std::wstring& section, const std::wstring& key,
                      const std::wstring& attribute) const {
        std::optional<std::wstring> value;
        ReadConfigText(doc_, section, key, attribute, value);
        return value.value_or(L"<absent>");
    }

    ConfigDocument doc_;
};

TEST_F(DeliveredDocument, StartsInDefaultModeWithEightKeysInBothSections) {
    EXPECT_EQ(Number(L"KwSet", L"Choose", L"Set"), 0);
    const std::int32_t clicks[] = {33, 48, 22, 20, 21, 19, 18, 17};
    const std::int32_t doubleClicks[] = {0, 0, 86, 276, 277, 275, 274, 273};
    for (const wchar_t* section : {L"Palmkey", L"PalmkeyCustom"}) {
        for (int row = 0; row < KEY_ROW_COUNT; ++row) {
            const std::wstring key = L"Key" + std::to_wstring(row);
            EXPECT_EQ(Number(section, key, L"Click"), clicks[row]);
            EXPECT_EQ(Number(section, key, L"DoubleClick"), doubleClicks[row]);
            const auto combination = Number(section, key, L"Combination");
            ASSERT_TRUE(combination.has_value());
            EXPECT_TRUE(*combination == 0 || (*combination >= 1 && *combination <= 11));
        }
    }
    for (int row = 0; row < KEY_ROW_COUNT; ++row) {
        EXPECT_EQ(Text(L"PalmkeyCustom", L"Key" + std::to_wstring(row), L"ExePath"), L"0");
    }
    // The combination rows post the host commands the device's built-in codes name.
    EXPECT_EQ(Number(L"Palmkey", L"Key4", L"Combination"), 10);
    EXPECT_EQ(Number(L"Palmkey", L"Key7", L"Combination"), 11);
}

TEST_F(DeliveredDocument, HasTwelveActionEntriesEndingWithTheCustomProgram) {
    EXPECT_EQ(Number(L"KwRes", L"Img", L"Num"), 12);
    EXPECT_EQ(Number(L"KwRes", L"ImgStr", L"Num"), 12);
    for (int entry = 0; entry < 12; ++entry) {
        const std::wstring name = std::to_wstring(entry);
        EXPECT_NE(Text(L"KwRes", L"Img", L"Path" + name), L"<absent>");
        EXPECT_NE(Text(L"KwRes", L"ImgStr", L"Str" + name), L"<absent>");
    }
    EXPECT_EQ(Text(L"KwRes", L"ImgStr", L"Str0"), L"音量+");
    EXPECT_EQ(Text(L"KwRes", L"ImgStr", L"Str11"), L"自定义程序");
}

TEST_F(DeliveredDocument, HoldsEveryDialogAndPopupResource) {
    EXPECT_EQ(Number(L"KwRes", L"ComboboxEx", L"Num"), 7);
    EXPECT_EQ(Number(L"KwRes", L"StaticStr", L"Num"), 7);
    for (int label = 0; label < 7; ++label) {
        EXPECT_NE(Text(L"KwRes", L"StaticStr", L"Str" + std::to_wstring(label)), L"<absent>");
    }
    EXPECT_EQ(Number(L"KwRes", L"RadioStr", L"Num"), 2);
    EXPECT_EQ(Number(L"KwRes", L"ButtonStr", L"Num"), 2);
    EXPECT_EQ(Text(L"KwRes", L"ButtonStr", L"Str0"), L"取消");
    EXPECT_EQ(Text(L"KwRes", L"ButtonStr", L"Str1"), L"确定");
    for (const wchar_t* text : {L"Str0", L"Str1"}) {
        EXPECT_NE(Text(L"KwRes", L"RadioStr", text), L"<absent>");
    }
    EXPECT_NE(Text(L"KwRes", L"Title", L"name"), L"<absent>");
    EXPECT_NE(Text(L"KwRes", L"BackgroundImg", L"TitlePath"), L"<absent>");
    EXPECT_NE(Text(L"KwRes", L"BackgroundImg", L"DefaultPath"), L"<absent>");
}

TEST_F(DeliveredDocument, LoadsIntoTheServiceRecord) {
    ButtonConfig config;
    ResetKeyDefaults(config);
    LoadButtonConfig(config, doc_);
    EXPECT_EQ(config.customMode, 0);
    EXPECT_EQ(config.volOffsetUp, 10);
    EXPECT_EQ(config.volOffsetDn, 10);
    EXPECT_EQ(config.popupTimeBegin, 10);
    EXPECT_EQ(config.popupTimeEnd, 20);
    for (const std::wstring* picture :
         {&config.popupBackgroundImage, &config.volumeImage, &config.volumeUpImage,
          &config.volumeDownImage, &config.printImage, &config.cutImage}) {
        EXPECT_FALSE(picture->empty());
    }
    EXPECT_FALSE(config.printPrompt.empty());
    EXPECT_FALSE(config.printScreenPrompt.empty());
    EXPECT_FALSE(config.volumePrompt.empty());
}

}  // namespace
