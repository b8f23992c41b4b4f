#include "services.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

char sname[max_services][label_size];
std::int32_t tsi[max_services];
std::int32_t sid[max_services];
std::int32_t oni[max_services];
std::int32_t channels;

// One entry from one line of length bytes. Fields are scanned only where the
// line reaches them; what does not scan stays 0.
static void take_line(int i, const char* line, std::size_t length)
{
    std::memset(sname[i], 0, label_size);
    tsi[i] = sid[i] = oni[i] = 0;

    int number = 0;
    if (length > std::size_t{number_column})
        (void)sscanf(line + number_column, "%d", &number);
    snprintf(sname[i], label_size, "%02d ", number);

    // A control byte or a byte of 0x80 and above before the name is dropped.
    const char* name = static_cast<signed char>(line[0]) < 0x20 ? line + 1 : line;
    for (int k = 0; k < label_max && name[k] != '\0'; ++k)
        sname[i][3 + k] = name[k];
    sname[i][label_max] = '\0'; // the label is cut to 15 characters

    if (length > std::size_t{ids_column}) {
        unsigned int ids[3] = {0, 0, 0};
        (void)sscanf(line + ids_column, "%x %x %x", &ids[0], &ids[1], &ids[2]);
        tsi[i] = static_cast<std::int32_t>(ids[0]);
        sid[i] = static_cast<std::int32_t>(ids[1]);
        oni[i] = static_cast<std::int32_t>(ids[2]);
    }
}

// Reads one line as fgets does, into a buffer of size bytes: at most size - 1
// bytes, up to and including the newline, then a NUL. Returns how many bytes
// it stored, NULs in the line included, or 0 at the end of the file or on a
// read error. A read cut short by a signal is tried again.
static std::size_t read_line(FILE* list, char* line, std::size_t size)
{
    std::size_t length = 0;
    while (length < size - 1) {
        const int c = getc(list);
        if (c == EOF && ferror(list) != 0 && errno == EINTR) {
            clearerr(list);
            continue;
        }
        if (c == EOF)
            break;
        line[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    line[length] = '\0';
    return length;
}

// A line too long for the buffer is one entry: the rest of it is dropped.
static void drop_rest_of_line(FILE* list)
{
    char rest[line_size];
    std::size_t got = 0;
    while ((got = read_line(list, rest, sizeof rest)) > 0 && rest[got - 1] != '\n') {
    }
}

std::int32_t read_services(const char* path)
{
    channels = 0;
    FILE* list = fopen(path, "r");
    if (list == nullptr) {
        perror(path);
        return -1;
    }
    static char line[line_size];
    int i = 0;
    std::size_t length = 0;
    while (i < max_services && (length = read_line(list, line, sizeof line)) > 0) {
        if (length == sizeof line - 1 && line[length - 1] != '\n')
            drop_rest_of_line(list);
        take_line(i, line, length);
        ++i;
    }
    const bool failed = ferror(list) != 0;
    const int error = errno;
    fclose(list);
    if (failed) {
        errno = error;
        perror(path);
        return -1;
    }
    channels = i;
    return i;
}

const char* lookup_name(std::uint32_t ids, std::uint32_t service_word)
{
    const auto onid = static_cast<std::int32_t>(ids >> 16);
    const auto tsid = static_cast<std::int32_t>(ids & 0xFFFF);
    const auto service = static_cast<std::int32_t>(service_word >> 16);
    for (int i = 0; i < channels; ++i)
        if (oni[i] == onid && tsi[i] == tsid && sid[i] == service)
            return sname[i];
    return "not found";
}
