#pragma once
// Where the two copies of the configuration document live, and the names
// that place the document below them.

#include <filesystem>
#include <string>

namespace zan {
class Files;
}

struct ConfigLocations {
    std::filesystem::path programDir;  // the delivered copy's folder
    std::filesystem::path appDataDir;  // empty: no application-data folder known

    // programDir: the running program's folder. appDataDir:
    // $XDG_CONFIG_HOME when it is absolute, else .config in the home folder
    // ($HOME, or the account's home folder when HOME is unset).
    static ConfigLocations From(zan::Files& files);
    // From the real file system and environment of this process.
    static ConfigLocations ForThisProcess();
};

// The document's three location arguments. Backslashes are folder
// separators; a leading one is ignored.
struct DocumentNames {
    std::wstring defaultName;  // the delivered copy, below programDir
    std::wstring dataDir;      // the per-user copy's folder, below appDataDir
    std::wstring dataPath;     // the per-user copy, below appDataDir
};
