#pragma once
// Documents for tests: text written to a scratch folder and opened the way
// an administrator's program opens its delivered copy.

#include <string>

#include "config/config_document.h"
#include "scratch_folder.h"

namespace zan::config::testing {

inline const std::wstring DEFAULT_NAME = L"Palmkey.xml";
inline const std::wstring DATA_DIR = L"\\ZanSoftware\\Drivers\\";
inline const std::wstring DATA_PATH = L"\\ZanSoftware\\Drivers\\Palmkey.xml";

class DocumentFixture {
public:
    ConfigLocations Locations() const {
        return {folder_.Path() / "program", folder_.Path() / "appdata"};
    }
    std::filesystem::path DocumentPath() const { return Locations().programDir / "Palmkey.xml"; }

    // Replaces the file's content without opening it.
    void SetFileContent(const std::string& content) const {
        WriteTextFile(DocumentPath(), content);
    }

    // Writes the file and opens it into doc.
    ConfigDocument& Open(const std::string& content) {
        SetFileContent(content);
        return Reopen();
    }
    ConfigDocument& Reopen() {
        OpenConfigDocument(doc_, DEFAULT_NAME, DATA_DIR, DATA_PATH, true, Locations());
        return doc_;
    }
    ConfigDocument& Document() { return doc_; }
    std::string FileContent() const { return ReadTextFile(DocumentPath()).value_or("<no file>"); }
    const ScratchFolder& Folder() const { return folder_; }

private:
    ScratchFolder folder_;
    ConfigDocument doc_;
};

}  // namespace zan::config::testing
