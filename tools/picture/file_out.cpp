#include "file_out.hpp"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string reason(const std::string& path) { return path + ": " + strerror(errno); }

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

// The file a path names once its symlinks are followed, each relative one
// from its own folder; through_proc is set when one leads into /proc, whose
// links (/dev/stdout, /proc/self/fd/1) stand for an open file, not a path.
std::string link_target(std::string path, bool& through_proc)
{
    through_proc = path.rfind("/proc/", 0) == 0;
    for (int hop = 0; hop < 40 && !through_proc; ++hop) {
        char to[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), to, sizeof to - 1);
        if (n < 0)
            break; // no link (or none there yet)
        to[n] = '\0';
        path = to[0] == '/' ? std::string(to) : folder_of(path) + to;
        through_proc = path.rfind("/proc/", 0) == 0;
    }
    return path;
}

// The folder's entry of a rename made lasting. A file system that cannot
// sync a folder says EINVAL; that is no failure.
bool sync_folder(const std::string& file)
{
    const std::string folder = folder_of(file);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
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
    struct stat named {};
    const bool exists = stat(path, &named) == 0;
    if (!exists && errno == ELOOP) { // links that never end, or more than the system follows
        why = reason(path_);
        return false;
    }
    bool through_proc = false;
    target_ = link_target(path_, through_proc);
    if ((exists && !S_ISREG(named.st_mode)) || through_proc) {
        way_ = way::through;
        const int fd = ::open(path, O_WRONLY | O_CLOEXEC | (exists && S_ISREG(named.st_mode) ? O_TRUNC : 0));
        file_ = fd < 0 ? nullptr : fdopen(fd, "wb");
        if (file_ == nullptr) {
            why = reason(path_);
            if (fd >= 0)
                close(fd);
            return false;
        }
        return true;
    }
    if (open_beside(why)) {
        if (exists) { // the owner where the user may set it, then the mode
            if (fchown(fileno(file_), named.st_uid, named.st_gid) != 0)
                (void)fchown(fileno(file_), static_cast<uid_t>(-1), named.st_gid);
            (void)fchmod(fileno(file_), named.st_mode & 07777);
        }
        return true;
    }
    // A folder the user may not write, holding a file they may: the whole
    // content is made elsewhere first, then written in place.
    if (exists && (errno == EACCES || errno == EPERM || errno == EROFS) && access(target_.c_str(), W_OK) == 0) {
        way_ = way::in_place;
        file_ = tmpfile();
        if (file_ != nullptr)
            return true;
    }
    why = reason(path_);
    return false;
}

bool new_file::open_beside(std::string& why)
{
    std::string name = folder_of(target_) + "." + target_.substr(folder_of(target_).size()) + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    temp_ = name;
    note_pending(temp_);
    const mode_t mask = umask(0);
    umask(mask);
    (void)fchmod(fd, 0666 & ~mask); // as a plain new file would be
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        why = reason(path_);
        close(fd);
        return false;
    }
    return true;
}

bool new_file::commit(std::string& why)
{
    if (way_ == way::in_place)
        return commit_in_place(why);
    const bool written =
        fflush(file_) == 0 && ferror(file_) == 0 && (way_ == way::through || fsync(fileno(file_)) == 0);
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

// The content is whole in the temporary file: only now is the file opened,
// emptied and written.
bool new_file::commit_in_place(std::string& why)
{
    FILE* const content = file_;
    file_ = nullptr;
    bool done = fflush(content) == 0 && ferror(content) == 0 && fseek(content, 0, SEEK_SET) == 0;
    const int fd = done ? ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC) : -1;
    done = fd >= 0;
    char block[65536];
    for (std::size_t n; done && (n = fread(block, 1, sizeof block, content)) > 0;)
        for (std::size_t at = 0; done && at < n;) {
            const ssize_t put = write(fd, block + at, n - at);
            done = put > 0 || (put < 0 && errno == EINTR);
            at += put > 0 ? std::size_t(put) : 0;
        }
    done = done && ferror(content) == 0 && fsync(fd) == 0;
    int error = errno;
    if (fd >= 0 && close(fd) != 0 && done) {
        done = false;
        error = errno;
    }
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
