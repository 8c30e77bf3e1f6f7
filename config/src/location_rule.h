#pragma once
// Where the document lives: the delivered copy next to the program for an
// administrator, otherwise a per-user copy in the application-data folder,
// made from the delivered copy on first use and never refreshed from it.

#include <filesystem>
#include <string>
#include <string_view>

#include "config/config_locations.h"

namespace zan {
class Files;
}

namespace zan::config {

// A folder written with backslashes ("\ZanSoftware\Drivers\"), as a path
// relative to whatever it is appended to.
std::filesystem::path RelativePathFromBackslashes(std::wstring_view backslashed,
                                                  std::string_view codeset);

// The application-data folder: $XDG_CONFIG_HOME when it is an absolute
// path, else .config in the home folder; empty when neither is known.
std::filesystem::path ApplicationDataFolder(const std::filesystem::path& xdgConfigHome,
                                            const std::filesystem::path& home);

// The document's path. For the per-user copy, when nothing exists at that
// path yet, the folder chain is made and the delivered copy copied there in
// one atomic step; failures of that step are not reported (the parse then
// finds no file). Empty when the location needed is unknown.
std::filesystem::path ResolveDocumentPath(const DocumentNames& names, bool useProgramDir,
                                          const ConfigLocations& locations,
                                          std::string_view codeset, Files& files);

}  // namespace zan::config
