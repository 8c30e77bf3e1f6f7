#pragma once
// Files and folders as the configuration layer needs them, and the user's
// folders it derives its locations from. The configuration logic reaches the
// file system only through this interface; LinuxFiles is the real one,
// FakeFiles (fake_files.h) an in-memory one that fails on demand.
//
// Paths: any length. The Linux implementation walks a path one folder at a
// time (openat), so no system call ever sees more than one name and PATH_MAX
// never applies. A relative path starts at the current folder.
//
// Errors are results, never exceptions. LinuxFiles keeps no state and may be
// used from any thread; a fake belongs to one thread at a time.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zan {

enum class EntryState {
    Absent,   // nothing has this name
    Present,  // something has it: a file, a folder, even a dangling link
    Unknown,  // the question cannot be answered (a folder without search permission)
};

class Files {
public:
    virtual ~Files() = default;

    // The whole content of a regular file, following symbolic links.
    // nullopt when it cannot be opened or read, or is something other than
    // a regular file (a folder, a FIFO, a device: opened without blocking,
    // so such an entry in a file's place never hangs the caller).
    virtual std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) = 0;

    // Whether anything has this name (a symbolic link counts itself, it is
    // not followed). A missing folder on the way means Absent.
    virtual EntryState EntryAt(const std::filesystem::path& path) = 0;

    // Makes every missing folder of the chain (mode 0777 before the umask).
    // True when the whole chain exists afterwards.
    virtual bool MakeFolderChain(const std::filesystem::path& folder) = 0;

    // Replaces the file's content so that a reader sees either the old
    // content or the new one, never a mixture, in these steps:
    //   1. follow symbolic links (at most 40) to the file they end in; a
    //      dangling link ends in the missing file, which is then created;
    //   2. create a temporary file ".<name>.tmp-<pid>-<n>" exclusively in
    //      that file's folder;
    //   3. write the content;
    //   4. give it the old file's permission bits and, where the caller may,
    //      its owner (a new file gets 0666 before the umask);
    //   5. flush it to disk;
    //   6. rename it over the file: the replace happens here, at once;
    //   7. flush the folder, so that the rename is on disk too.
    // A failure in steps 1-6 (a missing folder, a full disk, a refused
    // rename ...) removes the temporary file and returns false with the
    // target byte for byte as it was. A failing step 7 is not reported: the
    // replace has happened and cannot be undone.
    virtual bool ReplaceFile(const std::filesystem::path& target, std::string_view content) = 0;

    // The folder of the running program file; empty when unknown.
    virtual std::filesystem::path ProgramFolder() = 0;
    // $HOME, else the account's home folder; empty when neither is known.
    virtual std::filesystem::path HomeFolder() = 0;
    // $XDG_CONFIG_HOME as set (possibly empty or relative: the caller
    // decides what counts).
    virtual std::filesystem::path XdgConfigHome() = 0;
    virtual std::uint32_t EffectiveUserId() = 0;
};

// The real file system of this process. The environment is read with
// secure_getenv: a program running with raised privileges does not let its
// caller's environment choose which files it reads and writes.
class LinuxFiles final : public Files {
public:
    std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) override;
    EntryState EntryAt(const std::filesystem::path& path) override;
    bool MakeFolderChain(const std::filesystem::path& folder) override;
    bool ReplaceFile(const std::filesystem::path& target, std::string_view content) override;
    std::filesystem::path ProgramFolder() override;
    std::filesystem::path HomeFolder() override;
    std::filesystem::path XdgConfigHome() override;
    std::uint32_t EffectiveUserId() override;
};

// One LinuxFiles for the whole process, for callers that are given no other.
Files& SystemFiles();

}  // namespace zan
