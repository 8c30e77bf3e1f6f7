#include "button_config.h"

#include <optional>
#include <utility>

#include "config/config_document.h"

namespace {

struct BuiltInCodes {
    std::int32_t click;
    std::int32_t doubleClick;
    std::int32_t combination;
};

// The device's own key codes, in force until a document supplies others. The
// combination codes are no action codes, so combination reports do nothing
// until then.
constexpr std::array<BuiltInCodes, KEY_ROW_COUNT> BUILT_IN_CODES{{
    {33, 0, 0},
    {48, 0, 0},
    {22, 86, 0},
    {20, 276, 0},
    {21, 277, 37},
    {19, 275, 38},
    {18, 274, 39},
    {17, 273, 53},
}};

const std::wstring RESOURCES = L"KwRes";

std::wstring KeyElementName(int row) {
    return L"Key" + std::to_wstring(row);
}

// An absent text empties the field: the document is the only source of texts.
void ReadTextOrEmpty(const ConfigDocument& doc, const std::wstring& section,
                     const std::wstring& key, const std::wstring& attribute, std::wstring& field) {
    std::optional<std::wstring> text;
    ReadConfigText(doc, section, key, attribute, text);
    field = text.value_or(std::wstring());
}

void LoadKeyRows(ButtonConfig& config, const ConfigDocument& doc) {
    const bool custom = config.customMode != 0;
    const std::wstring section = custom ? L"PalmkeyCustom" : L"Palmkey";
    for (int row = 0; row < KEY_ROW_COUNT; ++row) {
        KeyBinding& binding = config.keys.at(static_cast<std::size_t>(row));
        const std::wstring key = KeyElementName(row);
        ReadConfigNumber(doc, section, key, L"Click", binding.click);
        ReadConfigNumber(doc, section, key, L"DoubleClick", binding.doubleClick);
        ReadConfigNumber(doc, section, key, L"Combination", binding.combination);
        // Default mode has no program paths; the last custom ones stay for a
        // switch back.
        if (custom) {
            ReadTextOrEmpty(doc, section, key, L"ExePath", binding.exePath);
        }
    }
}

void LoadPopupTexts(ButtonConfig& config, const ConfigDocument& doc) {
    ReadTextOrEmpty(doc, RESOURCES, L"DlgShowImg", L"DlgBk", config.popupBackgroundImage);
    ReadTextOrEmpty(doc, RESOURCES, L"DlgShowImg", L"Vol", config.volumeImage);
    ReadTextOrEmpty(doc, RESOURCES, L"DlgShowImg", L"VolUp", config.volumeUpImage);
    ReadTextOrEmpty(doc, RESOURCES, L"DlgShowImg", L"VolDn", config.volumeDownImage);
    ReadTextOrEmpty(doc, RESOURCES, L"DlgShowImg", L"Prt", config.printImage);
    ReadTextOrEmpty(doc, RESOURCES, L"DlgShowImg", L"Cut", config.cutImage);
    ReadTextOrEmpty(doc, RESOURCES, L"Prompt", L"PrScr", config.printScreenPrompt);
    ReadTextOrEmpty(doc, RESOURCES, L"Prompt", L"Print", config.printPrompt);
    ReadTextOrEmpty(doc, RESOURCES, L"Prompt", L"Vlome", config.volumePrompt);
}

}  // namespace

void ResetKeyDefaults(ButtonConfig& config) {
    for (std::size_t row = 0; row < config.keys.size(); ++row) {
        config.keys.at(row).click = BUILT_IN_CODES.at(row).click;
        config.keys.at(row).doubleClick = BUILT_IN_CODES.at(row).doubleClick;
        config.keys.at(row).combination = BUILT_IN_CODES.at(row).combination;
    }
}

void LoadButtonConfig(ButtonConfig& config, const ConfigDocument& doc) {
    ReadConfigNumber(doc, L"KwSet", L"Choose", L"Set", config.customMode);
    // Crossed on purpose: "VolDn" is the step up's amount, "VolUp" the step down's.
    ReadConfigNumber(doc, RESOURCES, L"VolOffSet", L"VolDn", config.volOffsetDn);
    ReadConfigNumber(doc, RESOURCES, L"VolOffSet", L"VolUp", config.volOffsetUp);
    LoadKeyRows(config, doc);
    ReadConfigNumber(doc, RESOURCES, L"DlgShow", L"TimeBegin", config.popupTimeBegin);
    ReadConfigNumber(doc, RESOURCES, L"DlgShow", L"TimeEnd", config.popupTimeEnd);
    LoadPopupTexts(config, doc);
}

ButtonConfigStore::ButtonConfigStore() : current_(std::make_shared<const ButtonConfig>()) {}

std::shared_ptr<const ButtonConfig> ButtonConfigStore::Snapshot() const {
    const std::lock_guard lock(mutex_);
    return current_;
}

void ButtonConfigStore::Publish(std::shared_ptr<const ButtonConfig> next) {
    const std::lock_guard lock(mutex_);
    current_ = std::move(next);
}

void ButtonConfigStore::ResetKeyDefaults() {
    auto next = std::make_shared<ButtonConfig>(*Snapshot());
    ::ResetKeyDefaults(*next);
    Publish(std::move(next));
}

void ButtonConfigStore::Reload(ConfigDocument& doc, const std::wstring& defaultName,
                               const std::wstring& dataDir, const std::wstring& dataPath,
                               bool useProgramDir) {
    Reload(doc, defaultName, dataDir, dataPath, useProgramDir, ConfigLocations::ForThisProcess());
}

void ButtonConfigStore::Reload(ConfigDocument& doc, const std::wstring& defaultName,
                               const std::wstring& dataDir, const std::wstring& dataPath,
                               bool useProgramDir, const ConfigLocations& locations) {
    OpenConfigDocument(doc, defaultName, dataDir, dataPath, useProgramDir, locations);
    // Built outside the lock from the current record, so that absent numbers
    // keep their values; readers go on with the old record meanwhile.
    auto next = std::make_shared<ButtonConfig>(*Snapshot());
    LoadButtonConfig(*next, doc);
    Publish(std::move(next));
}

std::wstring ButtonConfigStore::VolumeText() const {
    const std::lock_guard lock(mutex_);
    return volumeText_;
}

void ButtonConfigStore::SetVolumeText(std::wstring text) {
    const std::lock_guard lock(mutex_);
    volumeText_ = std::move(text);
}
