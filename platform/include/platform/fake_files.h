#pragma once
// In-memory Files for tests: folders and files added by hand, the user's
// folders set by hand, and failures on demand - a disk that is full after N
// bytes, a refused rename, folders that cannot be made, unreadable files.
// A failed ReplaceFile leaves the old content, as the real one does.
// Symbolic links are not modelled. One thread at a time.

#include <map>
#include <set>
#include <utility>

#include "platform/files.h"

namespace zan {

class FakeFiles final : public Files {
public:
    // Adds the file and every folder above it.
    void AddFile(const std::filesystem::path& file, std::string content) {
        AddFolder(file.parent_path());
        files_[Key(file)] = std::move(content);
    }
    void AddFolder(const std::filesystem::path& folder) {
        for (std::filesystem::path level = Key(folder);
             !level.empty() && level != level.parent_path(); level = level.parent_path()) {
            folders_.insert(level);
        }
    }
    std::optional<std::string> Content(const std::filesystem::path& file) const {
        const auto found = files_.find(Key(file));
        return found == files_.end() ? std::nullopt : std::optional(found->second);
    }
    bool HasFolder(const std::filesystem::path& folder) const {
        return folders_.count(Key(folder)) != 0;
    }

    // Failures: each stays until changed.
    void FillDiskAfter(std::optional<std::size_t> bytes) { diskRoom_ = bytes; }
    void RefuseRenames(bool refuse) { refuseRenames_ = refuse; }
    void RefuseNewFolders(bool refuse) { refuseNewFolders_ = refuse; }
    void SetUnreadable(const std::filesystem::path& file, bool unreadable) {
        if (unreadable) {
            unreadable_.insert(Key(file));
        } else {
            unreadable_.erase(Key(file));
        }
    }

    void SetProgramFolder(std::filesystem::path folder) { programFolder_ = std::move(folder); }
    void SetHomeFolder(std::filesystem::path folder) { homeFolder_ = std::move(folder); }
    void SetXdgConfigHome(std::filesystem::path folder) { xdgConfigHome_ = std::move(folder); }
    void SetEffectiveUserId(std::uint32_t uid) { effectiveUserId_ = uid; }

    std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) override {
        if (unreadable_.count(Key(file)) != 0) {
            return std::nullopt;
        }
        return Content(file);
    }

    EntryState EntryAt(const std::filesystem::path& path) override {
        const std::filesystem::path normal = Key(path);
        return files_.count(normal) != 0 || folders_.count(normal) != 0 ? EntryState::Present
                                                                        : EntryState::Absent;
    }

    bool MakeFolderChain(const std::filesystem::path& folder) override {
        if (HasFolder(folder)) {
            return true;
        }
        if (refuseNewFolders_) {
            return false;
        }
        AddFolder(folder);
        return true;
    }

    bool ReplaceFile(const std::filesystem::path& target, std::string_view content) override {
        if (!target.has_filename() || !HasFolder(target.parent_path()) ||
            folders_.count(Key(target)) != 0) {
            return false;
        }
        if ((diskRoom_ && content.size() > *diskRoom_) || refuseRenames_) {
            return false;
        }
        files_[Key(target)] = std::string(content);
        return true;
    }

    std::filesystem::path ProgramFolder() override { return programFolder_; }
    std::filesystem::path HomeFolder() override { return homeFolder_; }
    std::filesystem::path XdgConfigHome() override { return xdgConfigHome_; }
    std::uint32_t EffectiveUserId() override { return effectiveUserId_; }

private:
    // One spelling per entry: "a/./b/" and "a/b" are the same folder.
    static std::filesystem::path Key(const std::filesystem::path& path) {
        std::filesystem::path normal = path.lexically_normal();
        if (!normal.has_filename() && normal.has_relative_path()) {
            normal = normal.parent_path();
        }
        return normal;
    }

    std::map<std::filesystem::path, std::string> files_;
    std::set<std::filesystem::path> folders_;
    std::set<std::filesystem::path> unreadable_;
    std::optional<std::size_t> diskRoom_;
    bool refuseRenames_ = false;
    bool refuseNewFolders_ = false;
    std::filesystem::path programFolder_;
    std::filesystem::path homeFolder_;
    std::filesystem::path xdgConfigHome_;
    std::uint32_t effectiveUserId_ = 1000;
};

}  // namespace zan
