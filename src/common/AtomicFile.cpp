#include "common/AtomicFile.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace velmar::common {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void ThrowErrno(int error, const std::string& what, const fs::path& path) {
    throw std::system_error(std::error_code(error, std::generic_category()), what + " " + path.string());
}

// Closes the descriptor on every path out of a scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Get() const { return fd_; }
    // Returns the errno of a failed close, 0 on success.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
  public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    void Set(fs::path path) { path_ = std::move(path); }
    const fs::path& Path() const { return path_; }
    void Release() { path_.clear(); }

  private:
    fs::path path_;
};

fs::path DirectoryOf(const fs::path& path) {
    fs::path dir = path.parent_path();
    return dir.empty() ? fs::path(".") : dir;
}

std::string RandomSuffix() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char raw[6] = {};
    if (::getrandom(raw, sizeof raw, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof raw)) {
        // Only uniqueness matters here; O_EXCL catches a clash and the caller retries.
        static unsigned counter = 0;
        const unsigned long mix = static_cast<unsigned long>(::getpid()) * 2654435761UL + ++counter;
        for (std::size_t i = 0; i < sizeof raw; ++i) {
            raw[i] = static_cast<unsigned char>(mix >> (i * 5));
        }
    }
    std::string suffix;
    for (unsigned char r : raw) {
        suffix.push_back(kAlphabet[r % (sizeof kAlphabet - 1)]);
    }
    return suffix;
}

// Keeps the temporary name within NAME_MAX however long the target's name is.
std::string TemporaryStem(const fs::path& path) {
    std::string name = path.filename().string();
    constexpr std::size_t kMaxStem = 200;
    if (name.size() > kMaxStem) {
        std::size_t cut = kMaxStem;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;  // do not split a UTF-8 character
        }
        name.resize(cut);
    }
    return name;
}

// Creates ".NAME.tmp-XXXXXX" next to `path` with the mode the process would give a new file, writes the
// bytes, gives it the permissions (and owner) of `keep` when replacing a file, and flushes it to disk.
void WriteTemporary(const fs::path& path, std::string_view bytes, const std::optional<struct stat>& keep,
                    TemporaryFile& temporary) {
    const fs::path dir = DirectoryOf(path);
    const std::string stem = TemporaryStem(path);
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        const fs::path candidate = dir / ("." + stem + ".tmp-" + RandomSuffix());
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary.Set(candidate);
        } else if (errno != EEXIST) {
            ThrowErrno(errno, "cannot create a temporary file to write", path);
        }
    }
    if (fd < 0) {
        ThrowErrno(EEXIST, "cannot create a temporary file to write", path);
    }
    FileDescriptor file(fd);

    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(file.Get(), bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno(errno, "cannot write", path);
        }
        written += static_cast<std::size_t>(n);
    }
    if (keep) {
        if (::fchmod(file.Get(), keep->st_mode & 07777) != 0) {
            ThrowErrno(errno, "cannot set the permissions of", path);
        }
        if (::geteuid() == 0 && (keep->st_uid != 0 || keep->st_gid != 0)) {
            // Best effort: a file system without owners (FAT, some network mounts) must not stop the write.
            [[maybe_unused]] const int ignored = ::fchown(file.Get(), keep->st_uid, keep->st_gid);
        }
    }
    if (::fsync(file.Get()) != 0) {
        ThrowErrno(errno, "cannot flush", path);
    }
    if (const int error = file.Close(); error != 0) {
        ThrowErrno(error, "cannot write", path);
    }
}

void SyncDirectory(const fs::path& path) {
    const fs::path dir = DirectoryOf(path);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        ThrowErrno(errno, "written but cannot open the directory to flush", path);
    }
    FileDescriptor directory(fd);
    // Some file systems cannot sync a directory at all; the rename itself has then done what can be done.
    if (::fsync(directory.Get()) != 0 && errno != EINVAL && errno != EROFS) {
        ThrowErrno(errno, "written but cannot flush the directory of", path);
    }
}

// The file a write to `path` must replace: the target of a symbolic link, so that the link itself survives.
fs::path ResolveTarget(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        fs::path target = fs::read_symlink(path, ec);
        if (!ec) {
            return target.is_absolute() ? target : DirectoryOf(path) / target;
        }
    }
    return path;
}

}  // namespace

void ReplaceFileAtomic(const fs::path& path, std::string_view bytes) {
    fs::path target = path;
    // A chain of links is followed a bounded number of steps; a loop ends in the rename failing on a link.
    for (int depth = 0; depth < 40; ++depth) {
        fs::path next = ResolveTarget(target);
        if (next == target) {
            break;
        }
        target = std::move(next);
    }

    std::optional<struct stat> keep;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            ThrowErrno(EISDIR, "cannot replace", path);
        }
        if (S_ISREG(st.st_mode)) {
            if ((st.st_mode & S_IWUSR) == 0) {
                ThrowErrno(EACCES, "read-only file, not replaced:", path);
            }
            keep = st;
        }
    } else if (errno != ENOENT) {
        ThrowErrno(errno, "cannot replace", path);
    }

    TemporaryFile temporary;
    WriteTemporary(target, bytes, keep, temporary);
    if (::rename(temporary.Path().c_str(), target.c_str()) != 0) {
        ThrowErrno(errno, "cannot replace", path);
    }
    temporary.Release();
    SyncDirectory(target);
}

void WriteNewFileAtomic(const fs::path& path, std::string_view bytes) {
    TemporaryFile temporary;
    WriteTemporary(path, bytes, std::nullopt, temporary);
    const char* from = temporary.Path().c_str();
    if (::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
        const int error = errno;
        if (error != EINVAL && error != ENOSYS) {
            ThrowErrno(error, error == EEXIST ? "not replacing existing" : "cannot create", path);
        }
        // The kernel or the file system has no exclusive rename; a hard link is just as exclusive.
        if (::link(from, path.c_str()) != 0) {
            const int linkError = errno;
            ThrowErrno(linkError, linkError == EEXIST ? "not replacing existing" : "cannot create", path);
        }
        // The temporary name goes in the destructor; the new file already has its own link.
    } else {
        temporary.Release();
    }
    SyncDirectory(path);
}

std::string ReadWholeFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ThrowErrno(errno, "cannot open", path);
    }
    FileDescriptor file(fd);
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0) {
        ThrowErrno(errno, "cannot read", path);
    }
    if (S_ISDIR(st.st_mode)) {
        ThrowErrno(EISDIR, "cannot read", path);
    }
    std::string bytes;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno(errno, "cannot read", path);
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

}  // namespace velmar::common
