#pragma once
// Access to the configuration document Palmkey.xml, shared by the service and
// the settings program.
//
// A value is addressed by section / key element / attribute below the
// document's first element. Readers never fail loudly: an absent value leaves
// the caller's target as it was. A document that does not parse counts as
// empty. Every function here is for one thread at a time per document.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "config/config_locations.h"

namespace tinyxml2 {
class XMLDocument;
}

struct ConfigDocument {
    // Reads and writes the real file system.
    ConfigDocument();
    // Reads and writes through files, which must outlive the document.
    explicit ConfigDocument(zan::Files& fileSystem);
    ~ConfigDocument();
    ConfigDocument(ConfigDocument&&) noexcept;
    ConfigDocument& operator=(ConfigDocument&&) noexcept;

    // Resolved by OpenConfigDocument; any length.
    std::filesystem::path path;
    // Null until the first OpenConfigDocument; afterwards always a document,
    // possibly empty.
    std::unique_ptr<tinyxml2::XMLDocument> document;
    // Never null.
    zan::Files* files;
};

// Effective user id 0.
bool IsUserAdministrator();
bool IsUserAdministrator(zan::Files& files);

// Resolves the document's path (the delivered copy next to the program when
// useProgramDir, else the per-user copy, made from the delivered copy on
// first use and never refreshed from it) and parses it, replacing what the
// document held. dataDir and dataPath use backslashes as folder separators.
// Paths of any length work. The first-use copy appears atomically, so a
// second program never parses half of it. A missing file, or something
// other than a regular file, gives an empty document.
void OpenConfigDocument(ConfigDocument& doc, const std::wstring& defaultName,
                        const std::wstring& dataDir, const std::wstring& dataPath,
                        bool useProgramDir);
void OpenConfigDocument(ConfigDocument& doc, const std::wstring& defaultName,
                        const std::wstring& dataDir, const std::wstring& dataPath,
                        bool useProgramDir, const ConfigLocations& locations);

// Stores the value into target when present; the last matching section wins.
// A value that is not a leading decimal integer, or does not fit 32 bits, is
// absent. Always returns 1.
int ReadConfigNumber(const ConfigDocument& doc, const std::wstring& section,
                     const std::wstring& key, const std::wstring& attribute, std::int32_t& target);

// Stores the value into target when present; only the first matching section
// is examined. Characters the locale's codeset cannot hold come back as '?',
// bytes that are not UTF-8 as U+FFFD. Always returns 1.
int ReadConfigText(const ConfigDocument& doc, const std::wstring& section, const std::wstring& key,
                   const std::wstring& attribute, std::optional<std::wstring>& target);

// Sets one attribute and saves the whole document atomically. Each write
// first reloads the file, so values another program saved in between
// survive; when the file is gone or does not parse, the document held in
// memory is used and given a declaration at its start. Any of the names may
// be null: the write then stops at that level after creating the levels
// above. An existing attribute keeps its place; a new one goes last. The
// saved file keeps its permissions, and a symbolic link stays a link (the
// file it points to is replaced). Returns 1 after a successful save; 0 when
// a name cannot stand as an XML name or the save fails, and the old file is
// then left byte for byte.
int WriteConfigValue(ConfigDocument& doc, const wchar_t* section, const wchar_t* key,
                     const wchar_t* attribute, const wchar_t* value);
