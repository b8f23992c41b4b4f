#include "file_out.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

static std::string reason(const std::string& path) { return path + ": " + strerror(errno); }

bool new_file::open(const char* path, std::string& why)
{
    // A file size limit (ulimit -f) then fails the write instead of killing the tool.
    signal(SIGXFSZ, SIG_IGN);
    path_ = path;
    const std::size_t slash = path_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
    std::string name = folder + "." + path_.substr(slash + 1) + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        why = reason(path_);
        return false;
    }
    temp_ = name;
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
    const bool written = fflush(file_) == 0 && ferror(file_) == 0 && fsync(fileno(file_)) == 0;
    const int error = errno;
    const bool closed = fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) {
        errno = written ? errno : error;
        why = reason(path_);
        return false;
    }
    if (rename(temp_.c_str(), path_.c_str()) != 0) {
        why = reason(path_);
        return false;
    }
    temp_.clear();
    return true;
}

new_file::~new_file()
{
    if (file_ != nullptr)
        fclose(file_);
    if (!temp_.empty())
        unlink(temp_.c_str());
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
