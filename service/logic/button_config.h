#pragma once
// The service's configuration record: eight key rows plus the volume and
// popup settings, filled from the configuration document.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct ConfigDocument;
struct ConfigLocations;

struct KeyBinding {
    std::int32_t combination = 0;
    std::int32_t click = 0;
    std::int32_t doubleClick = 0;
    std::wstring exePath;
};

inline constexpr int KEY_ROW_COUNT = 8;

struct ButtonConfig {
    std::array<KeyBinding, KEY_ROW_COUNT> keys{};
    std::int32_t customMode = 0;
    std::int32_t volOffsetUp = 10;  // subtracted by a step down
    std::int32_t volOffsetDn = 10;  // added by a step up
    std::int32_t popupTimeBegin = 0;
    std::int32_t popupTimeEnd = 0;
    std::wstring popupBackgroundImage;
    std::wstring volumeImage;
    std::wstring volumeUpImage;
    std::wstring volumeDownImage;
    std::wstring printImage;
    std::wstring cutImage;
    std::wstring printPrompt;
    std::wstring printScreenPrompt;
    std::wstring volumePrompt;
};

// Writes the built-in click/doubleClick/combination codes into the 24 code
// fields; touches nothing else.
void ResetKeyDefaults(ButtonConfig& config);

// Fills config from an opened document: absent numbers keep their value,
// absent texts become empty, exePath is rewritten only in custom mode.
void LoadButtonConfig(ButtonConfig& config, const ConfigDocument& doc);

// The one process-wide record. The main thread reloads; the reader thread
// and the popup read. A reload builds a new record from the current one and
// publishes it whole, so a reader's snapshot never mixes two loads and stays
// valid for as long as the reader holds it. Resets and reloads come from one
// thread at a time; every member may be called from any thread.
class ButtonConfigStore {
public:
    // Starts with the record's initial values (no built-in key codes yet).
    ButtonConfigStore();

    std::shared_ptr<const ButtonConfig> Snapshot() const;

    // Publishes a copy of the current record with the built-in key codes.
    void ResetKeyDefaults();

    // Opens the document with the four location arguments and publishes the
    // record loaded on top of the current one.
    void Reload(ConfigDocument& doc, const std::wstring& defaultName, const std::wstring& dataDir,
                const std::wstring& dataPath, bool useProgramDir);
    void Reload(ConfigDocument& doc, const std::wstring& defaultName, const std::wstring& dataDir,
                const std::wstring& dataPath, bool useProgramDir, const ConfigLocations& locations);

    // Written by the volume step, read by the popup: kept apart from the
    // record because it is not loaded from the document.
    std::wstring VolumeText() const;
    void SetVolumeText(std::wstring text);

private:
    void Publish(std::shared_ptr<const ButtonConfig> next);

    mutable std::mutex mutex_;
    std::shared_ptr<const ButtonConfig> current_;
    std::wstring volumeText_;
};
