#include <tinyxml2.h>

#include <string>

#include "config/config_document.h"
#include "document_access.h"
#include "platform/files.h"
#include "text_conversion.h"
#include "xml_name.h"

namespace zan::config {

namespace {

constexpr const char* ROOT_NAME = "Config";
// What the document's declaration reads when the writer has to make one:
// version 1.0, neither encoding nor standalone.
constexpr const char* DECLARATION = "xml version=\"1.0\" ";

// The file's content replaces the document; a file that does not open leaves
// what the document held. False when the document is not the file's content.
bool ReloadFromFile(tinyxml2::XMLDocument& xml, const std::filesystem::path& path, Files& files) {
    const auto content = files.ReadWholeFile(path);
    if (!content) {
        return false;
    }
    if (xml.Parse(content->data(), content->size()) != tinyxml2::XML_SUCCESS) {
        xml.Clear();
        return false;
    }
    return true;
}

// The declaration goes first: a parser rejects one that follows other
// content, which would make the saved file unreadable to both programs.
bool EnsureDeclaration(tinyxml2::XMLDocument& xml) {
    const tinyxml2::XMLNode* first = xml.FirstChild();
    if (first != nullptr && first->ToDeclaration() != nullptr) {
        return true;
    }
    tinyxml2::XMLDeclaration* declaration = xml.NewDeclaration(DECLARATION);
    return declaration != nullptr && xml.InsertFirstChild(declaration) != nullptr;
}

class ValueWriter {
public:
    explicit ValueWriter(std::string_view codeset) : codeset_(codeset) {}

    // The first child element whose name matches, or a new one appended.
    tinyxml2::XMLElement* FindOrAppend(tinyxml2::XMLNode& parent, const std::string& name) const {
        for (tinyxml2::XMLElement* child = parent.FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            if (name == child->Name()) {
                return child;
            }
        }
        tinyxml2::XMLElement* created =
            parent.GetDocument()->NewElement(CodesetToUtf8(name, codeset_).c_str());
        return created == nullptr ? nullptr : parent.InsertEndChild(created)->ToElement();
    }

    // An attribute that exists keeps its place; a new one goes last.
    void SetAttribute(tinyxml2::XMLElement& element, const std::string& name,
                      const std::string& value) const {
        const std::string utf8Value = CodesetToUtf8(value, codeset_);
        for (const tinyxml2::XMLAttribute* attribute = element.FirstAttribute();
             attribute != nullptr; attribute = attribute->Next()) {
            if (Utf8ToCodeset(attribute->Name(), codeset_) == name) {
                element.SetAttribute(attribute->Name(), utf8Value.c_str());
                return;
            }
        }
        element.SetAttribute(CodesetToUtf8(name, codeset_).c_str(), utf8Value.c_str());
    }

    std::optional<std::string> Narrow(const wchar_t* text) const {
        return text == nullptr ? std::nullopt : std::optional(WideToCodeset(text, codeset_));
    }

private:
    std::string_view codeset_;
};

std::string Print(const tinyxml2::XMLDocument& xml) {
    tinyxml2::XMLPrinter printer;
    xml.Print(&printer);
    return {printer.CStr(), static_cast<std::size_t>(printer.CStrSize() - 1)};
}

}  // namespace

int WriteConfigValueInCodeset(ConfigDocument& doc, const wchar_t* section, const wchar_t* key,
                              const wchar_t* attribute, const wchar_t* value,
                              std::string_view codeset) {
    const ValueWriter writer(codeset);
    const auto sectionName = writer.Narrow(section);
    const auto keyName = writer.Narrow(key);
    const auto attributeName = writer.Narrow(attribute);
    // Such a name would be saved as markup no parser reads back: the whole
    // file would be lost to both programs.
    for (const auto& name : {sectionName, keyName, attributeName}) {
        if (name && !IsXmlName(*name)) {
            return 0;
        }
    }
    if (!doc.document) {
        doc.document = std::make_unique<tinyxml2::XMLDocument>();
    }
    tinyxml2::XMLDocument& xml = *doc.document;
    if (!ReloadFromFile(xml, doc.path, *doc.files) && !EnsureDeclaration(xml)) {
        return 0;
    }
    tinyxml2::XMLElement* node = writer.FindOrAppend(xml, ROOT_NAME);
    if (node != nullptr && sectionName) {
        node = writer.FindOrAppend(*node, *sectionName);
        if (node != nullptr && keyName) {
            node = writer.FindOrAppend(*node, *keyName);
            if (node != nullptr && attributeName) {
                writer.SetAttribute(*node, *attributeName, writer.Narrow(value).value_or(""));
            }
        }
    }
    if (node == nullptr) {
        return 0;
    }
    return doc.files->ReplaceFile(doc.path, Print(xml)) ? 1 : 0;
}

}  // namespace zan::config

int WriteConfigValue(ConfigDocument& doc, const wchar_t* section, const wchar_t* key,
                     const wchar_t* attribute, const wchar_t* value) {
    return zan::config::WriteConfigValueInCodeset(doc, section, key, attribute, value,
                                                  zan::config::CodesetOfLocale());
}
