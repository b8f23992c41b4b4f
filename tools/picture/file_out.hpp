// Writing a file whole or not at all, for the tools that write what a user
// keeps (the boot picture's source, screenshots, pictures), as cp and
// install treat what they replace:
// - a regular file (or a path that does not exist yet) gets the bytes in a
//   temporary file beside it, renamed over it only once every write, the
//   flush to the disk and the close have succeeded, and the folder synced;
//   the new file keeps the old one's mode (setuid and setgid bits too), its
//   owner where the user may set it, and its extended attributes (ACLs
//   among them); an attribute the file system refuses is dropped, and said.
//   A symlink's target is replaced and the link stays; links that never
//   end, or more than the system follows (40), are refused.
// - a file the user may write in a folder they may not, or a file of more
//   than one name (a hard link): its whole content is made in a temporary
//   file elsewhere first, then written in place, so that every name shows
//   it. Its new length is reserved on the disk before a byte of the old
//   content is touched, and the stopping signals wait until it is written.
// - anything else (a character device, a FIFO, a socket) is written
//   straight through; so is a path that leads, at any hop, through the
//   system's links to open files (/dev/stdout, /dev/fd/N, /proc/PID/fd/N).
//   One of the tool's own descriptors is written from where its caller
//   stands, as a shell's redirection to it would: what the caller wrote
//   before stays, and in a regular file what followed is cut.
// On failure the old file stays as it was and the temporary file is
// removed; so it is when the tool is stopped by SIGINT, SIGTERM or SIGHUP.
// Once the file is in place, a folder the user may not open goes unsynced.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/stat.h>

class new_file {
  public:
    new_file() = default;
    new_file(const new_file&) = delete;
    new_file& operator=(const new_file&) = delete;
    ~new_file(); // removes the temporary file unless it was committed

    // Makes the temporary file (or opens the path to write through); false,
    // with why, when it cannot.
    bool open(const char* path, std::string& why);
    FILE* stream() const { return file_; }
    // Flushes, closes and puts the bytes in place; false, with why, when any
    // of it failed (a full disk, a file size limit).
    bool commit(std::string& why);

  private:
    enum class way { rename, in_place, through };
    bool open_through(int own_fd, bool regular, std::string& why);
    bool open_beside(std::string& why);
    void keep_attributes(int fd) const;
    bool commit_in_place(std::string& why);

    std::string path_;   // what the user named
    std::string target_; // the file that is replaced: the path, or its link's target
    std::string temp_;
    way way_ = way::rename;
    struct stat old_ {}; // the file replaced, when there is one
    bool replaces_ = false;
    bool cut_ = false; // through a regular file: cut it where the bytes end
    FILE* file_ = nullptr;
};

// The whole of bytes into the file at path, as above.
bool write_whole_file(const char* path, std::string_view bytes, std::string& why);
