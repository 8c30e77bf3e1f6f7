#include "location_rule.h"

#include "platform/files.h"
#include "text_conversion.h"

namespace zan::config {

namespace {

void CopyDeliveredCopy(const std::filesystem::path& delivered,
                       const std::filesystem::path& folderChain,
                       const std::filesystem::path& document, Files& files) {
    if (!files.MakeFolderChain(folderChain)) {
        return;
    }
    if (const auto content = files.ReadWholeFile(delivered)) {
        // Atomic, so a second program starting at the same moment parses
        // either nothing or the whole copy, never a half-written one.
        (void)files.ReplaceFile(document, *content);
    }
}

}  // namespace

std::filesystem::path RelativePathFromBackslashes(std::wstring_view backslashed,
                                                  std::string_view codeset) {
    std::string narrow = WideToCodeset(backslashed, codeset);
    for (char& c : narrow) {
        if (c == '\\') {
            c = '/';
        }
    }
    const auto first = narrow.find_first_not_of('/');
    return first == std::string::npos ? std::filesystem::path()
                                      : std::filesystem::path(narrow.substr(first));
}

std::filesystem::path ResolveDocumentPath(const DocumentNames& names, bool useProgramDir,
                                          const ConfigLocations& locations,
                                          std::string_view codeset, Files& files) {
    std::filesystem::path delivered =
        locations.programDir.empty()
            ? std::filesystem::path()
            : locations.programDir / RelativePathFromBackslashes(names.defaultName, codeset);
    if (useProgramDir) {
        return delivered;
    }
    if (locations.appDataDir.empty()) {
        return {};
    }
    std::filesystem::path document =
        locations.appDataDir / RelativePathFromBackslashes(names.dataPath, codeset);
    if (!delivered.empty() && files.EntryAt(document) == EntryState::Absent) {
        CopyDeliveredCopy(
            delivered, locations.appDataDir / RelativePathFromBackslashes(names.dataDir, codeset),
            document, files);
    }
    return document;
}

}  // namespace zan::config
