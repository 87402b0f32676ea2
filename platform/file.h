// Files on disk as the program keeps them: read whole, or replaced so that a
// power cut leaves the old content or the new, never half of either.
// Failures come back as errno values; the caller words them.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// An open descriptor, closed when the File goes.
class File {
public:
    File() = default;
    explicit File(int fd) : fd_(fd) {}
    File(File&& other) noexcept : fd_(other.release()) {}
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    int fd() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    // Closes now: 0, or the errno of a close that failed (written data may be lost then).
    int close();

private:
    int fd_ = -1;
};

// The steps of a replace that a test can make fail.
enum class FileStep {
    CheckTarget,  // checkReplaceable
    Create,       // the temporary file
    Reserve,      // room for the new size, in place
    Write,        // each write into it
    Sync,
    Rename,
};

// What tests put between the program and the disk. Installed for the whole
// process while a FileFaults::Use lives, as VirtualWaveOut::Use installs a device.
class FileFaults {
public:
    virtual ~FileFaults() = default;
    // An errno value to fail `step` of the replace of `path` with, or 0 to let it run.
    virtual int fail(FileStep step, const std::string& path) = 0;

    class Use {
    public:
        explicit Use(FileFaults& faults);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
    };
};

// The file a path names once its symbolic links are followed; the path itself
// when it cannot be resolved (it does not exist yet, say).
std::string resolvedPath(const std::string& path);

// Opens a file for reading, the one way every file the program reads is
// opened: 0 or an errno. Opening does not block (a pipe of that name answers
// at once) and only a regular file opens (EISDIR for a directory, EACCES for
// a pipe or a device). A file of more than `maxBytes` is refused with EFBIG.
// `size`, when given, gets the file's size.
int openRegularFile(const std::string& path, File& out, std::uint64_t maxBytes, std::uint64_t* size = nullptr);

// Reads a regular file whole into `out`, opened as openRegularFile does: 0 or
// an errno. A file of more than `maxBytes` is refused before anything is
// read, and so is one that grows past it while being read.
int readWholeFile(const std::string& path, std::string& out, std::size_t maxBytes);

// What tells one version of a file from another without reading it.
struct FileStamp {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedSec = 0, modifiedNsec = 0;
    bool operator==(const FileStamp&) const = default;
};
// 0 and the stamp of the file `path` names (its links followed), or an errno.
int fileStamp(const std::string& path, FileStamp& out);

// 0 when `path` may be replaced: it does not exist, or it is a regular file
// this process may write (checked with the ids that do the writing). A
// replace by rename would go over a read-only file, a pipe or a device.
int checkReplaceable(const std::string& path);

// Writes `bytes` to path + ".tmp", syncs it, renames it over `path` and syncs
// the folder. The new file keeps the old one's permissions, owner and group
// (as far as this process may give them). In a folder that refuses the
// temporary file, an existing file we may write is rewritten in place
// instead: the new size is reserved first, and on a failure the old bytes are
// written back. Returns 0 or an errno; `oldKept` (when given) says whether the
// old file is whole after a failure: always, unless an in-place rewrite could
// not put it back.
int replaceFileSynced(const std::string& path, const std::string& bytes, bool* oldKept = nullptr);

// Makes `to` a synced copy of the file `from` as it is now: a second name for
// it (a hard link, so nothing is copied and a file of any size fits) or,
// where links are refused, a copy made chunk by chunk. Atomic like
// replaceFileSynced. 0 or an errno.
int keepCopySynced(const std::string& from, const std::string& to);

// One thread that does a file's writes in the background, one at a time: the
// caller never waits on the disk for `post`, and `runNow` (the close) waits
// only for the write in progress. A job posted while another waits replaces
// it: the latest state is all that counts.
class BackgroundWriter {
public:
    BackgroundWriter();
    // Finishes the job in progress and the one waiting.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    void post(std::function<void()> job);
    // Drops the job waiting, waits for the one in progress, then runs `job`
    // on the calling thread, with no other write beside it.
    void runNow(const std::function<void()>& job);
    // Until nothing is waiting or in progress.
    void wait();

private:
    void loop();
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::function<void()>> waiting_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the rest is ready
};
