#include "report.hpp"

#include "services.hpp"

#include <cerrno>
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

void print_record(FILE* out, const versions_rec& rec)
{
    fprintf(out, "%s %08x %08x ", lookup_name(rec.ids, rec.service_word), rec.ids, rec.service_word);
    for (int k = 0; k < 4; ++k) {
        if (static_cast<std::int8_t>(rec.version[k]) < 0)
            fputs("      ", out);
        else
            fprintf(out, "%02x=%02x:", first_table_id + k, rec.version[k]);
    }
    fprintf(out, " end=%s ", t_str(rec.end));
    fprintf(out, "begin_next=%s\n", t_str(rec.begin_next));
}

void print_report(FILE* out, std::span<const std::uint8_t> data)
{
    for (std::size_t at = 0; at + record_size <= data.size(); at += record_size)
        print_record(out, decode_record(data.subspan(at).first<record_size>()));
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
    print_report(stdout, {versions, static_cast<std::size_t>(length)});
    if (fflush(stdout) != 0) {
        perror("stdout");
        return 1;
    }
    return 0;
}
