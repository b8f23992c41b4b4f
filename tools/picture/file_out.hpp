// Writing a file whole or not at all, for the tools that write what a user
// keeps (the boot picture's source, screenshots, pictures): the bytes go to
// a temporary file in the same folder, which is renamed over the path only
// once every write, the flush to the disk and the close have succeeded. On
// failure the old file stays as it was and the temporary file is removed.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class new_file {
  public:
    new_file() = default;
    new_file(const new_file&) = delete;
    new_file& operator=(const new_file&) = delete;
    ~new_file(); // removes the temporary file unless it was committed

    // Makes the temporary file beside path; false, with why, when it cannot.
    bool open(const char* path, std::string& why);
    FILE* stream() const { return file_; }
    // Flushes, closes and renames it over the path; false, with why, when
    // any of it failed (a full disk, a file size limit).
    bool commit(std::string& why);

  private:
    std::string path_, temp_;
    FILE* file_ = nullptr;
};

// The whole of bytes into the file at path, as above.
bool write_whole_file(const char* path, std::string_view bytes, std::string& why);
