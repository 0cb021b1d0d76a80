#include "encoded_file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "imagefile/native_file_name.h"

namespace velmora {

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    // Closes now, reporting what close says (a deferred write error shows here on some file
    // systems).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

// Holds back Ctrl+C and termination while the new file is published, so that the link and the
// rename happen both or neither for any signal that can be caught.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        sigaddset(&held, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

  private:
    sigset_t previous_{};
};

std::string Folder(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return file.substr(0, slash);
}

// The file a link points to, followed to the end; the path itself when it is no link or does not
// exist. A dangling link gives the path it points to, so the new file is made there.
std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return current;
        target.resize(static_cast<std::size_t>(length));
        current = target.front() == '/' ? target : Folder(current) + '/' + target;
    }
    return current;
}

bool SyncFolder(const std::string& folder) {
    const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

// A new file's permissions: those of the file it replaces, or what the umask leaves of rw-rw-rw-.
mode_t NewFileMode(const std::optional<struct stat>& replaced) {
    if (replaced) return replaced->st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Temporary names beside a target carry the saving process's id: "<target>.velmora-<pid>-<tag>".
std::string TemporaryPrefix(const std::string& target) {
    return target + ".velmora-" + std::to_string(::getpid()) + '-';
}

// The process id in a temporary name of `targetName`, or nothing when the name is not one.
std::optional<pid_t> SaverOfTemporary(std::string_view name, std::string_view targetName) {
    constexpr std::string_view marker = ".velmora-";
    if (!name.starts_with(targetName)) return std::nullopt;
    name.remove_prefix(targetName.size());
    if (!name.starts_with(marker)) return std::nullopt;
    name.remove_prefix(marker.size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc() || pid <= 0 || end == name.data() + name.size() || *end != '-' ||
        end + 1 == name.data() + name.size())
        return std::nullopt;
    return pid;
}

// A save killed outright (SIGKILL, power loss) between naming its temporary file and renaming it
// leaves a complete copy beside the target. The next save of that target removes the copies of
// processes that no longer exist; those of running processes may still be in use and stay.
void RemoveLeftoverTemporaries(const std::string& target) {
    const std::string folder = Folder(target);
    const std::size_t slash = target.rfind('/');
    const std::string targetName = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::unique_ptr<DIR, int (*)(DIR*)> entries(::opendir(folder.c_str()), ::closedir);
    if (!entries) return;
    while (const dirent* entry = ::readdir(entries.get())) {
        const std::optional<pid_t> saver = SaverOfTemporary(entry->d_name, targetName);
        if (!saver || ::kill(*saver, 0) == 0 || errno != ESRCH) continue;
        const std::string path = folder + '/' + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid())
            ::unlink(path.c_str());
    }
}

// Gives an unnamed temporary file the name `target`, over an existing file: linked under a
// temporary name beside it first, then renamed over it.
bool Publish(int fd, const std::string& target, bool targetExists) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const SignalsHeld held;
    if (!targetExists &&
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = TemporaryPrefix(target) + std::to_string(attempt);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (::rename(temporary.c_str(), target.c_str()) == 0) return true;
        ::unlink(temporary.c_str());
        return false;
    }
    return false;
}

enum class Attempt {
    Done,
    Failed,
    NoTemporary,  // no temporary file could be made beside the target
};

// The atomic replace through an unnamed temporary file.
Attempt ReplaceAtomically(const std::string& target, const std::optional<struct stat>& replaced,
                          const QByteArray& encoded) {
    const std::string folder = Folder(target);
    Descriptor fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, NewFileMode(replaced)));
    if (!fd.valid()) return Attempt::NoTemporary;
    if (!WriteEncodedBytes(fd.get(), encoded) || ::fsync(fd.get()) != 0) return Attempt::Failed;
    // The umask may have taken bits of an existing file's mode away.
    if (replaced && ::fchmod(fd.get(), replaced->st_mode & 07777) != 0) return Attempt::Failed;
    if (!Publish(fd.get(), target, replaced.has_value())) return Attempt::Failed;
    if (!fd.Close()) return Attempt::Failed;
    SyncFolder(folder);
    return Attempt::Done;
}

// The same through a named temporary, for file systems without unnamed ones.
Attempt ReplaceThroughNamedTemporary(const std::string& target,
                                     const std::optional<struct stat>& replaced,
                                     const QByteArray& encoded) {
    std::string name = TemporaryPrefix(target) + "XXXXXX";
    Descriptor fd(::mkostemp(name.data(), O_CLOEXEC));
    // Only a folder that refuses new files is a reason to write into the target itself; a full
    // disk, say, is not.
    if (!fd.valid())
        return errno == EACCES || errno == EPERM ? Attempt::NoTemporary : Attempt::Failed;
    const mode_t mode = NewFileMode(replaced);
    bool written = WriteEncodedBytes(fd.get(), encoded) && ::fsync(fd.get()) == 0 &&
                   ::fchmod(fd.get(), mode) == 0;
    written = fd.Close() && written;
    if (written) {
        const SignalsHeld held;
        if (::rename(name.c_str(), target.c_str()) == 0) {
            SyncFolder(Folder(target));
            return Attempt::Done;
        }
    }
    ::unlink(name.c_str());
    return Attempt::Failed;
}

// No temporary file can be made beside the target (a read-only folder): the target itself is
// overwritten, grown or cut to the new length and synced.
bool OverwriteInPlace(const std::string& target, const QByteArray& encoded) {
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.valid()) return false;
    if (!WriteEncodedBytes(fd.get(), encoded)) return false;
    if (::ftruncate(fd.get(), encoded.size()) != 0 || ::fsync(fd.get()) != 0) return false;
    return fd.Close();
}

bool WriteIntoSpecialFile(const std::string& target, const QByteArray& encoded) {
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    return fd.valid() && WriteEncodedBytes(fd.get(), encoded) && fd.Close();
}

}  // namespace

bool WriteEncodedBytes(int descriptor, const QByteArray& encoded) {
    const char* next = encoded.constData();
    qsizetype left = encoded.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, static_cast<std::size_t>(left));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        left -= written;
    }
    return true;
}

bool WriteEncodedFile(const QString& path, const QByteArray& encoded) {
    if (path.isEmpty()) return false;
    const std::string target = FollowLinks(NativeFileName(path).toStdString());
    std::optional<struct stat> replaced;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return false;
        if (!S_ISREG(info.st_mode)) return WriteIntoSpecialFile(target, encoded);
        replaced = info;
    }

    RemoveLeftoverTemporaries(target);
    Attempt attempt = ReplaceAtomically(target, replaced, encoded);
    if (attempt == Attempt::NoTemporary)
        attempt = ReplaceThroughNamedTemporary(target, replaced, encoded);
    if (attempt == Attempt::NoTemporary && replaced) return OverwriteInPlace(target, encoded);
    return attempt == Attempt::Done;
}

}  // namespace velmora
