#include "settingsbackend_linux.h"

#include "diagnostics.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// How long a write waits for another copy of the program to finish its own.
constexpr long kLockPatienceMs = 250;
// The copies of damaged files kept: "<file>.damaged", "-2", "-3".
constexpr int kDamagedCopies = 3;

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    // Closes it now, for the error only close() may tell (a full disk, on some file systems).
    int close() { return ::close(release()) == 0 ? 0 : errno; }

private:
    int m_fd;
};

std::string reason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EACCES:
    case EPERM:
        return "it is read-only (permission denied)";
    case EROFS:
        return "it is read-only (read-only file system)";
    default:
        return std::strerror(error);
    }
}

std::string whatItIs(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// A file whose permissions forbid writing it, to its owner too (root writes anything).
bool readOnly(const std::string &path, const struct stat &seen)
{
    return (seen.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
           (::access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM));
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes `folder` and the missing folders above it, private to the user as the XDG base
// directory rules ask. 0, or the error.
int makeFolders(const std::string &folder)
{
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    if (const std::string parent = folderOf(folder); parent != folder) {
        if (const int error = makeFolders(parent))
            return error;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

int writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno != EINTR)
            return errno;
        if (written > 0)
            bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int readAll(int fd, std::string &bytes)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got < 0 && errno != EINTR)
            return errno;
        if (got > 0)
            bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

void syncFolder(const std::string &folder)
{
    // The rename is only durable once the folder is; a file system that cannot tell is left be.
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

// A temporary file is "<target>.tmp-<suffix>": a name no one gives a file of their own.
constexpr char kTemporary[] = ".tmp-";
constexpr std::string_view kSuffixLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 6;

std::string uniqueSuffix()
{
    static unsigned long long counter = 0;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    unsigned long long mix = (static_cast<unsigned long long>(::getpid()) << 32) ^
                             static_cast<unsigned long long>(now.tv_nsec) ^
                             (++counter * 0x9E3779B97F4A7C15ull);
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i, mix /= kSuffixLetters.size())
        suffix += kSuffixLetters[mix % kSuffixLetters.size()];
    return suffix;
}

// Removes the temporary files of writers killed before their rename. Called under the lock,
// when no other copy of the program has one open.
void removeLeftovers(const std::string &target)
{
    const std::string prefix = target.substr(target.find_last_of('/') + 1) + kTemporary;
    DIR *dir = ::opendir(folderOf(target).c_str());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + kSuffixLength && name.starts_with(prefix) &&
            name.find_first_not_of(kSuffixLetters, prefix.size()) == std::string_view::npos)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// A new copy of a damaged file: the first of the copies' names that is free, else the oldest
// copy gives way. The descriptor, or -1 with errno set.
int openDamagedCopy(const std::string &target, std::string &copy)
{
    std::string oldest;
    struct stat oldestSeen = {};
    for (int n = 1; n <= kDamagedCopies; ++n) {
        copy = target + ".damaged" + (n == 1 ? std::string() : "-" + std::to_string(n));
        const int fd =
            ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
        struct stat seen;
        if (::lstat(copy.c_str(), &seen) == 0 && S_ISREG(seen.st_mode) &&
            (oldest.empty() || seen.st_mtim.tv_sec < oldestSeen.st_mtim.tv_sec ||
             (seen.st_mtim.tv_sec == oldestSeen.st_mtim.tv_sec &&
              seen.st_mtim.tv_nsec < oldestSeen.st_mtim.tv_nsec))) {
            oldest = copy;
            oldestSeen = seen;
        }
    }
    copy = oldest;
    if (oldest.empty()) {
        errno = EEXIST; // each name is taken by something that is not a copy
        return -1;
    }
    return ::open(copy.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

long millisecondsSince(const timespec &start)
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// The lock between copies of the program: flock() on "<file>.lock", which QLockFile, and so
// QSettings, holds the same way. It is removed on release while still held, so that a copy
// that opened it meanwhile sees the name gone and takes the next file instead.
class WriteLock
{
public:
    WriteLock() = default;
    WriteLock(const WriteLock &) = delete;
    WriteLock &operator=(const WriteLock &) = delete;
    ~WriteLock()
    {
        if (m_fd >= 0) {
            ::unlink(m_path.c_str());
            ::close(m_fd);
        }
    }

    // Waits at most kLockPatienceMs; `why` tells what stood in the way.
    bool take(const std::string &path, std::string &why)
    {
        timespec start{};
        ::clock_gettime(CLOCK_MONOTONIC, &start);
        for (;;) {
            // Only a regular file is opened: a pipe could block, a device would be disturbed.
            // O_NONBLOCK and fstat() cover one swapped in between the look and the open.
            struct stat st;
            if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
                why = "its lock file " + path + " cannot be taken (it is " + whatItIs(st.st_mode) +
                      ")";
                return false;
            }
            Descriptor fd(
                ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
            if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
                why = "its lock file " + path + " cannot be made (" + reason(errno) + ")";
                return false;
            }
            if (!S_ISREG(st.st_mode)) {
                why = "its lock file " + path + " cannot be taken (it is " + whatItIs(st.st_mode) +
                      ")";
                return false;
            }
            if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
                struct stat now;
                if (::stat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev &&
                    now.st_ino == st.st_ino) {
                    m_path = path;
                    m_fd = fd.release();
                    return true;
                }
            } else if (errno != EWOULDBLOCK && errno != EINTR) {
                why = "its lock file " + path + " cannot be taken (" + std::strerror(errno) + ")";
                return false;
            }
            if (millisecondsSince(start) >= kLockPatienceMs) {
                why = "its lock file " + path + " is held by another program";
                return false;
            }
            const timespec pause{0, 5'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }

private:
    std::string m_path;
    int m_fd = -1;
};

std::string configHome()
{
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG base directory rules say.
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return xdg;
    if (const char *home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/.config";
    if (const passwd *user = ::getpwuid(::getuid()); user && user->pw_dir && user->pw_dir[0] == '/')
        return std::string(user->pw_dir) + "/.config";
    return {};
}

} // namespace

IniSettingsBackend::IniSettingsBackend(std::string path) : m_path(std::move(path)) {}

void IniSettingsBackend::report(const std::string &what)
{
    // Each cause once: the same failure again says nothing new.
    if (m_reported.insert(what).second)
        reportProblem(what);
}

void IniSettingsBackend::reportUnwritable(const std::string &why)
{
    report("settings file " + m_path + " cannot be written: " + why +
           "; going on without saving to it");
}

IniSettingsBackend::State IniSettingsBackend::unusable(const std::string &why)
{
    report("settings file " + m_path + ' ' + why);
    m_document = IniDocument();
    m_loaded.reset();
    return State::Unusable;
}

IniSettingsBackend::State IniSettingsBackend::refresh()
{
    if (m_path.empty()) {
        report("settings cannot be kept: no home folder is known (HOME is not set); going on "
               "without them");
        return State::Unusable;
    }
    m_target = m_path;
    struct stat seen;
    if (::lstat(m_path.c_str(), &seen) != 0) {
        // Nothing there yet; or a folder above that cannot be searched, which a write tells.
        m_document = IniDocument();
        m_loaded.reset();
        return State::Absent;
    }
    const bool link = S_ISLNK(seen.st_mode);
    const int unfollowed = link && ::stat(m_path.c_str(), &seen) != 0 ? errno : 0;
    if (unfollowed || !S_ISREG(seen.st_mode)) {
        const std::string what = unfollowed == ELOOP ? "a loop of symbolic links"
                                 : unfollowed        ? "a link to nothing"
                                              : (link ? "a link to " : "") + whatItIs(seen.st_mode);
        return unusable(
            "is " + what +
            ", not a regular file, so it is not used; going on without saving settings");
    }
    if (link) {
        // Written through to the file the link names, so that the link stays.
        const std::unique_ptr<char, void (*)(void *)> real(::realpath(m_path.c_str(), nullptr),
                                                           &std::free);
        if (!real) {
            return unusable("is a link that cannot be followed (" +
                            std::string(std::strerror(errno)) +
                            "), so it is not used; going on without saving settings");
        }
        m_target = real.get();
    }
    if (m_loaded && sameFile(*m_loaded, seen))
        return State::Loaded;
    return load();
}

IniSettingsBackend::State IniSettingsBackend::load()
{
    m_document = IniDocument();
    m_loaded.reset();
    const Descriptor file(::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    int error = file.get() < 0 || ::fstat(file.get(), &st) != 0 ? errno : 0;
    if (!error && !S_ISREG(st.st_mode))
        error = EINVAL; // swapped for something else since it was looked at
    std::string bytes;
    if (!error) {
        bytes.reserve(static_cast<std::size_t>(st.st_size));
        error = readAll(file.get(), bytes);
    }
    if (error) {
        // Never rewritten then: what is in it would be lost.
        return unusable("cannot be read (" + std::string(std::strerror(error)) +
                        "); going on without it and without saving to it");
    }
    m_document = IniDocument(bytes);
    m_loaded = st;
    if (m_document.damaged())
        keepDamagedCopy(bytes);
    return State::Loaded;
}

void IniSettingsBackend::keepDamagedCopy(std::string_view original)
{
    // The next write replaces the file with what could be read from it; the original bytes
    // stay beside it, for the user to look through.
    if (m_copied && sameFile(*m_copied, *m_loaded))
        return;
    std::string copy;
    const int fd = openDamagedCopy(m_target, copy);
    Descriptor out(fd);
    int error = fd < 0 ? errno : writeAll(fd, original);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (!error)
        error = out.close();
    if (error) {
        if (fd >= 0)
            ::unlink(copy.c_str());
        report("settings file " + m_path + " is damaged, and a copy of it cannot be kept (" +
               (error == EEXIST ? "its names are taken by what is not a copy" : reason(error)) +
               "); going on with what could be read from it, without saving to it");
        return;
    }
    syncFolder(folderOf(copy));
    m_copied = m_loaded;
    report("settings file " + m_path +
           " is damaged; going on with what could be read from it, the original kept as " + copy);
}

std::optional<std::string> IniSettingsBackend::read(std::string_view section, std::string_view key)
{
    try {
        if (refresh() != State::Loaded)
            return std::nullopt;
        return m_document.value(section, key);
    } catch (...) {
        return std::nullopt;
    }
}

bool IniSettingsBackend::write(std::string_view section, const std::vector<StoredValue> &values)
{
    try {
        if (refresh() == State::Unusable)
            return false;
        const std::string folder = folderOf(m_target);
        if (const int error = makeFolders(folder)) {
            reportUnwritable("its folder " + folder + " cannot be made (" + reason(error) + ")");
            return false;
        }
        WriteLock lock;
        std::string why;
        if (!lock.take(m_path + ".lock", why)) {
            reportUnwritable(why);
            return false;
        }
        // Read again under the lock, so that what another copy wrote meanwhile is kept.
        if (refresh() == State::Unusable)
            return false;
        if (m_document.damaged() && !(m_copied && sameFile(*m_copied, *m_loaded)))
            return false; // never overwritten without its copy, which said so
        if (m_loaded && readOnly(m_target, *m_loaded)) {
            // The user's own way of saying it must not change.
            reportUnwritable("it is read-only");
            return false;
        }
        const std::string bytes = m_document.withValues(section, values);
        // Nothing to change; an absent file has no bytes, so an empty one is not made either.
        if (!m_document.damaged() && bytes == m_document.bytes())
            return true;
        return replaceFile(bytes);
    } catch (...) {
        // Memory ran short (nothing else throws here): said too, if there is room to say it.
        try {
            reportUnwritable("there is not enough memory");
        } catch (...) {
        }
        return false;
    }
}

bool IniSettingsBackend::replaceFile(const std::string &bytes)
{
    // A temporary file in the same folder, made durable, then renamed over the file: a crash at
    // any moment leaves either the old file or the new one.
    removeLeftovers(m_target);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = m_target + kTemporary + uniqueSuffix();
        // Private until it has the permissions of the file it replaces; a new file gets the
        // usual ones (umask).
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    m_loaded ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    Descriptor file(fd);
    int error = fd < 0 ? errno : 0;
    if (!error && m_loaded) {
        // Root writing a user's file leaves it the user's.
        if (::geteuid() == 0) {
            [[maybe_unused]] const int ignored = ::fchown(fd, m_loaded->st_uid, m_loaded->st_gid);
        }
        ::fchmod(fd, m_loaded->st_mode & 07777);
    }
    struct stat written;
    if (!error)
        error = writeAll(fd, bytes);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (!error && ::fstat(fd, &written) != 0)
        error = errno;
    if (!error)
        error = file.close();
    if (!error && ::rename(temp.c_str(), m_target.c_str()) != 0)
        error = errno;
    if (error) {
        if (fd >= 0)
            ::unlink(temp.c_str());
        reportUnwritable(reason(error));
        return false;
    }
    syncFolder(folderOf(m_target));
    m_document = IniDocument(bytes);
    m_loaded = written;
    m_copied = written; // what it was made from is kept, whatever it reads as
    return true;
}

std::unique_ptr<SettingsBackend> openUserSettings(std::string_view application)
{
    try {
        std::string path = configHome();
        if (!path.empty()) {
            if (path.back() != '/')
                path += '/';
            path.append(application) += '/';
            path.append(application) += ".ini";
        }
        return std::make_unique<IniSettingsBackend>(std::move(path));
    } catch (...) {
        return createNullSettings();
    }
}

} // namespace platform
