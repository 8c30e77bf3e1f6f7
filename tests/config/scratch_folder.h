#pragma once
// A fresh folder per test, removed with everything in it afterwards; plus
// file helpers that, like the code under test, work below paths longer than
// PATH_MAX.

#include <filesystem>
#include <optional>
#include <string>

namespace zan::config::testing {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Both walk the path one folder at a time with their own code, independent
// of the module under test. WriteTextFile makes missing folders.
void WriteTextFile(const std::filesystem::path& file, const std::string& content);
std::optional<std::string> ReadTextFile(const std::filesystem::path& file);

// A path below base that is longer than PATH_MAX (nothing is created).
std::filesystem::path VeryLongPathBelow(const std::filesystem::path& base);

}  // namespace zan::config::testing
