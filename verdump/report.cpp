#include "report.hpp"

#include "services.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

static std::uint32_t be32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

versions_rec decode_record(std::span<const std::uint8_t, record_size> bytes)
{
    const std::uint8_t* p = bytes.data();
    versions_rec rec{};
    rec.ids = be32(p);
    rec.service_word = be32(p + 4);
    for (int k = 0; k < 4; ++k)
        rec.version[k] = p[8 + k];
    rec.end = static_cast<std::int32_t>(be32(p + 28));
    rec.begin_next = static_cast<std::int32_t>(be32(p + 32));
    return rec;
}

const char* t_str(std::int32_t t)
{
    static char text[50];
    const time_t when = t;
    struct tm fields {};
    if (gmtime_r(&when, &fields) == nullptr || strftime(text, sizeof text, "%d.%m.%Y-%H:%M:%S", &fields) == 0)
        text[0] = '\0';
    return text;
}

// Appends text to the report; what does not fit is cut (a line is far
// shorter than report_line_max, so nothing ever is).
struct report_text {
    std::span<char> room;
    std::size_t length = 0;
};

__attribute__((format(printf, 2, 3))) static void add(report_text& out, const char* format, ...)
{
    if (out.room.empty())
        return;
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(out.room.data() + out.length, out.room.size() - out.length, format, args);
    va_end(args);
    if (n > 0)
        out.length = std::min(out.room.size() - 1, out.length + static_cast<std::size_t>(n));
}

static void format_record(report_text& out, const versions_rec& rec)
{
    add(out, "%s %08x %08x ", lookup_name(rec.ids, rec.service_word), rec.ids, rec.service_word);
    for (int k = 0; k < 4; ++k) {
        if (static_cast<std::int8_t>(rec.version[k]) < 0)
            add(out, "      ");
        else
            add(out, "%02x=%02x:", first_table_id + k, rec.version[k]);
    }
    add(out, " end=%s ", t_str(rec.end));
    add(out, "begin_next=%s\n", t_str(rec.begin_next));
}

std::size_t format_report(std::span<char> into, std::span<const std::uint8_t> data)
{
    report_text out{into};
    if (!into.empty())
        into[0] = '\0';
    for (std::size_t at = 0; at + record_size <= data.size(); at += record_size)
        format_record(out, decode_record(data.subspan(at).first<record_size>()));
    return out.length;
}

bool write_all(int fd, std::span<const char> text)
{
    while (!text.empty()) {
        const ssize_t put = write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        text = text.subspan(static_cast<std::size_t>(put));
    }
    return true;
}

long read_versions(const char* path, std::span<std::uint8_t, versions_max> into)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        perror(path);
        return -1;
    }
    std::size_t have = 0;
    while (have < into.size()) {
        const ssize_t got = read(fd, into.data() + have, into.size() - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            perror(path);
            close(fd);
            return -1;
        }
        if (got == 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    close(fd);
    return static_cast<long>(have);
}

int verdump_main()
{
    static std::uint8_t versions[versions_max];
    if (read_services(services_path) < 0)
        return 1;
    const long length = read_versions(versions_path, versions);
    if (length < 0)
        return 1;
    static char report[report_max];
    const std::size_t size = format_report(report, {versions, static_cast<std::size_t>(length)});
    // The report goes out whole or the failure is said: no C library's
    // buffering decides what of it is lost on a full disk.
    if (!write_all(STDOUT_FILENO, {report, size})) {
        perror("stdout");
        return 1;
    }
    return 0;
}
