#include "config/config_document.h"

#include <tinyxml2.h>

#include "document_access.h"
#include "location_rule.h"
#include "platform/files.h"
#include "reader_walk.h"
#include "text_conversion.h"

ConfigDocument::ConfigDocument() : ConfigDocument(zan::SystemFiles()) {}
ConfigDocument::ConfigDocument(zan::Files& fileSystem) : files(&fileSystem) {}
ConfigDocument::~ConfigDocument() = default;
ConfigDocument::ConfigDocument(ConfigDocument&&) noexcept = default;
ConfigDocument& ConfigDocument::operator=(ConfigDocument&&) noexcept = default;

namespace zan::config {

// A document that does not parse counts as empty in both programs: a value
// read from the part before a syntax error could be half of a torn edit.
void ParseDocumentFile(ConfigDocument& doc) {
    doc.document = std::make_unique<tinyxml2::XMLDocument>();
    const auto content = doc.files->ReadWholeFile(doc.path);
    if (!content ||
        doc.document->Parse(content->data(), content->size()) != tinyxml2::XML_SUCCESS) {
        doc.document->Clear();
    }
}

int ReadConfigTextInCodeset(const ConfigDocument& doc, const std::wstring& section,
                            const std::wstring& key, const std::wstring& attribute,
                            std::optional<std::wstring>& target, std::string_view codeset) {
    if (!doc.document) {
        return 1;
    }
    const std::string sectionName = WideToCodeset(section, codeset);
    const std::string keyName = WideToCodeset(key, codeset);
    const std::string attributeName = WideToCodeset(attribute, codeset);
    if (const auto value =
            FindTextInFirstSection(*doc.document, {sectionName, keyName, attributeName})) {
        target = ThroughCodeset(Utf8ToWide(*value), codeset);
    }
    return 1;
}

}  // namespace zan::config

bool IsUserAdministrator(zan::Files& files) {
    return files.EffectiveUserId() == 0;
}

bool IsUserAdministrator() {
    return IsUserAdministrator(zan::SystemFiles());
}

void OpenConfigDocument(ConfigDocument& doc, const std::wstring& defaultName,
                        const std::wstring& dataDir, const std::wstring& dataPath,
                        bool useProgramDir) {
    OpenConfigDocument(doc, defaultName, dataDir, dataPath, useProgramDir,
                       ConfigLocations::From(*doc.files));
}

void OpenConfigDocument(ConfigDocument& doc, const std::wstring& defaultName,
                        const std::wstring& dataDir, const std::wstring& dataPath,
                        bool useProgramDir, const ConfigLocations& locations) {
    doc.path =
        zan::config::ResolveDocumentPath({defaultName, dataDir, dataPath}, useProgramDir, locations,
                                         zan::config::CodesetOfLocale(), *doc.files);
    zan::config::ParseDocumentFile(doc);
}

int ReadConfigNumber(const ConfigDocument& doc, const std::wstring& section,
                     const std::wstring& key, const std::wstring& attribute, std::int32_t& target) {
    if (!doc.document) {
        return 1;
    }
    const std::string codeset = zan::config::CodesetOfLocale();
    const std::string sectionName = zan::config::WideToCodeset(section, codeset);
    const std::string keyName = zan::config::WideToCodeset(key, codeset);
    const std::string attributeName = zan::config::WideToCodeset(attribute, codeset);
    if (const auto number = zan::config::FindNumberInLastSection(
            *doc.document, {sectionName, keyName, attributeName})) {
        target = *number;
    }
    return 1;
}

int ReadConfigText(const ConfigDocument& doc, const std::wstring& section, const std::wstring& key,
                   const std::wstring& attribute, std::optional<std::wstring>& target) {
    return zan::config::ReadConfigTextInCodeset(doc, section, key, attribute, target,
                                                zan::config::CodesetOfLocale());
}
