#include "file_out.hpp"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

std::string reason(const std::string& path) { return path + ": " + strerror(errno); }

// A warning: the tool goes on.
void warn(const std::string& what) { fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str()); }

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The temporary file that a stopping signal's handler removes (a tool
// writes one file at a time).
char pending[PATH_MAX + 1];
volatile sig_atomic_t have_pending = 0;

extern "C" void remove_pending(int signal)
{
    if (have_pending != 0)
        unlink(pending);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void note_pending(const std::string& path)
{
    have_pending = 0;
    if (path.size() > PATH_MAX)
        return;
    memcpy(pending, path.c_str(), path.size() + 1);
    have_pending = 1;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction now {};
        // A signal the caller ignores (nohup) stays ignored.
        if (sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_IGN)
            continue;
        struct sigaction stop {};
        stop.sa_handler = remove_pending;
        sigemptyset(&stop.sa_mask);
        sigaction(signal, &stop, nullptr);
    }
}

// A hop of a path that stands in /proc: its links (/dev/fd is one, to
// /proc/self/fd) stand for an open file, not a path. own_fd is set when the
// hop names one of this process's own descriptors.
bool in_proc(const std::string& path, int& own_fd)
{
    const std::string folder = folder_of(path);
    char real[PATH_MAX];
    struct statfs fs {};
    if (realpath(folder.empty() ? "." : folder.c_str(), real) == nullptr || statfs(real, &fs) != 0 ||
        fs.f_type != PROC_SUPER_MAGIC)
        return false;
    const std::string name = path.substr(folder.size());
    if (real == "/proc/" + std::to_string(getpid()) + "/fd" && !name.empty() && name.size() < 10 &&
        name.find_first_not_of("0123456789") == std::string::npos)
        own_fd = std::atoi(name.c_str());
    return true;
}

// The file a path names once its symlinks are followed, each relative one
// from its own folder; through_proc is set when a hop leads into /proc.
std::string link_target(std::string path, bool& through_proc, int& own_fd)
{
    for (int hop = 0; !(through_proc = in_proc(path, own_fd)) && hop < 40; ++hop) {
        char to[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), to, sizeof to - 1);
        if (n < 0)
            break; // no link (or none there yet)
        to[n] = '\0';
        path = to[0] == '/' ? std::string(to) : folder_of(path) + to;
    }
    return path;
}

// The folder's entry of a rename made lasting. A file system that cannot
// sync a folder says EINVAL; that is no failure. Nor is a folder the user
// may not open (mode -wx): the file is in place, only its sync is skipped.
bool sync_folder(const std::string& file)
{
    const std::string folder = folder_of(file);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool synced = fsync(fd) == 0 || errno == EINVAL;
    close(fd);
    return synced;
}

} // namespace

bool new_file::open(const char* path, std::string& why)
{
    // A file size limit (ulimit -f) then fails the write instead of killing the tool.
    signal(SIGXFSZ, SIG_IGN);
    path_ = path;
    replaces_ = stat(path, &old_) == 0;
    if (!replaces_ && errno == ELOOP) { // links that never end, or more than the system follows
        why = reason(path_);
        return false;
    }
    bool through_proc = false;
    int own_fd = -1;
    target_ = link_target(path_, through_proc, own_fd);
    const bool regular = replaces_ && S_ISREG(old_.st_mode);
    if ((replaces_ && !regular) || through_proc)
        return open_through(own_fd, regular, why);
    // A file of more than one name is written in place, so that each of
    // them shows the new content; so is a file the user may write in a
    // folder they may not.
    const bool linked = replaces_ && old_.st_nlink > 1 && access(target_.c_str(), W_OK) == 0;
    if (!linked && open_beside(why))
        return true;
    if (linked ||
        (replaces_ && (errno == EACCES || errno == EPERM || errno == EROFS) && access(target_.c_str(), W_OK) == 0)) {
        way_ = way::in_place;
        file_ = tmpfile();
        if (file_ != nullptr)
            return true;
    }
    why = reason(path_);
    return false;
}

// One of the tool's own descriptors is written through a copy of it, from
// where its caller stands; any other is opened anew, a regular file emptied.
bool new_file::open_through(int own_fd, bool regular, std::string& why)
{
    way_ = way::through;
    const int flags = own_fd < 0 ? -1 : fcntl(own_fd, F_GETFL);
    int fd = -1;
    if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY) {
        fd = fcntl(own_fd, F_DUPFD_CLOEXEC, 0);
        cut_ = regular && (flags & O_APPEND) == 0;
    } else {
        fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | (regular ? O_TRUNC : 0));
    }
    file_ = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (file_ == nullptr) {
        why = reason(path_);
        if (fd >= 0)
            close(fd);
        return false;
    }
    return true;
}

bool new_file::open_beside(std::string& why)
{
    std::string name = folder_of(target_) + "." + target_.substr(folder_of(target_).size()) + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    temp_ = name;
    note_pending(temp_);
    // A new file is made as a plain new file would be; one that replaces
    // another stays the user's alone until it takes the old one's mode.
    if (!replaces_) {
        const mode_t mask = umask(0);
        umask(mask);
        (void)fchmod(fd, 0666 & ~mask);
    }
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        why = reason(path_);
        close(fd);
        return false;
    }
    return true;
}

// The old file's owner where the user may set it (else its group where
// they are in it), its extended attributes, then its mode: set once the
// bytes are written, since a write by a user clears the setuid and setgid
// bits, and a change of owner clears them too.
void new_file::keep_attributes(int fd) const
{
    if (fchown(fd, old_.st_uid, old_.st_gid) != 0)
        (void)fchown(fd, static_cast<uid_t>(-1), old_.st_gid);
    const ssize_t listed = listxattr(target_.c_str(), nullptr, 0);
    if (listed < 0 && errno != ENOTSUP) // a file system without them has none to keep
        warn(path_ + ": its extended attributes were dropped: " + strerror(errno));
    std::string names(listed > 0 ? std::size_t(listed) : 0, '\0');
    const ssize_t got = listed > 0 ? listxattr(target_.c_str(), names.data(), names.size()) : 0;
    for (std::size_t at = 0; got > 0 && at < std::size_t(got); at += strlen(names.c_str() + at) + 1) {
        const char* const name = names.c_str() + at;
        const ssize_t size = getxattr(target_.c_str(), name, nullptr, 0);
        std::string value(size > 0 ? std::size_t(size) : 0, '\0');
        if (size < 0 || getxattr(target_.c_str(), name, value.data(), value.size()) != size ||
            fsetxattr(fd, name, value.data(), value.size(), 0) != 0)
            warn(path_ + ": the attribute " + name + " was dropped: " + strerror(errno));
    }
    (void)fchmod(fd, old_.st_mode & 07777);
}

bool new_file::commit(std::string& why)
{
    if (way_ == way::in_place)
        return commit_in_place(why);
    bool written = fflush(file_) == 0 && ferror(file_) == 0;
    if (written && way_ == way::through) {
        const off_t end = cut_ ? lseek(fileno(file_), 0, SEEK_CUR) : 0;
        written = !cut_ || (end >= 0 && ftruncate(fileno(file_), end) == 0);
    } else if (written) {
        if (replaces_)
            keep_attributes(fileno(file_));
        written = fsync(fileno(file_)) == 0;
    }
    const int error = errno;
    const bool closed = fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) {
        errno = written ? errno : error;
        why = reason(path_);
        return false;
    }
    if (way_ == way::through)
        return true;
    if (rename(temp_.c_str(), target_.c_str()) != 0) {
        why = reason(path_);
        return false;
    }
    have_pending = 0;
    temp_.clear();
    if (!sync_folder(target_)) {
        why = reason(folder_of(target_).empty() ? "." : folder_of(target_));
        return false;
    }
    return true;
}

// The content is whole in the temporary file: only now is the file opened.
// Its new length is reserved first, so that a full disk stops the write
// before a byte of the old content is touched; the bytes then go over the
// old ones, and the file is cut where they end. A stopping signal waits
// until they are all in.
bool new_file::commit_in_place(std::string& why)
{
    FILE* const content = file_;
    file_ = nullptr;
    const long length = fflush(content) == 0 && ferror(content) == 0 ? ftell(content) : -1;
    bool done = length >= 0 && fseek(content, 0, SEEK_SET) == 0;
    const int fd = done ? ::open(target_.c_str(), O_WRONLY | O_CLOEXEC) : -1;
    done = fd >= 0;
    if (done && length > 0) {
        const int refused = posix_fallocate(fd, 0, length);
        errno = refused;
        done = refused == 0;
    }
    sigset_t stopping, before;
    sigemptyset(&stopping);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopping, signal);
    sigprocmask(SIG_BLOCK, &stopping, &before);
    char block[65536];
    for (std::size_t n; done && (n = fread(block, 1, sizeof block, content)) > 0;)
        for (std::size_t at = 0; done && at < n;) {
            const ssize_t put = write(fd, block + at, n - at);
            done = put > 0 || (put < 0 && errno == EINTR);
            at += put > 0 ? std::size_t(put) : 0;
        }
    done = done && ferror(content) == 0 && ftruncate(fd, length) == 0 && fsync(fd) == 0;
    int error = errno;
    if (fd >= 0 && close(fd) != 0 && done) {
        done = false;
        error = errno;
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    fclose(content);
    errno = error;
    if (!done)
        why = reason(path_);
    return done;
}

new_file::~new_file()
{
    if (file_ != nullptr)
        fclose(file_);
    if (!temp_.empty()) {
        have_pending = 0;
        unlink(temp_.c_str());
    }
}

bool write_whole_file(const char* path, std::string_view bytes, std::string& why)
{
    new_file out;
    if (!out.open(path, why))
        return false;
    if (fwrite(bytes.data(), 1, bytes.size(), out.stream()) != bytes.size()) {
        why = reason(path);
        return false;
    }
    return out.commit(why);
}
