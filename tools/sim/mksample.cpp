// mksample: writes a plausible service list and versions file for the
// simulated receiver: ROOT/pvr/SERVICES/services.txt, ROOT/data/SI/versions2.
// Every name and number here is made up.
#include "verdump/report.hpp"
#include "verdump/services.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

struct service {
    const char* name;
    bool prefixed; // carries the control byte 0x05 some lists put before names
    int number;
    unsigned tsid, sid, onid;
};

constexpr service services[] = {
    {"Sample TV", true, 7, 0x044d, 0x6dca, 0x0001},
    {"Alpenblick Eins", true, 1, 0x0401, 0x0065, 0x0001},
    {"Alpenblick Zwei", true, 2, 0x0401, 0x0066, 0x0001},
    {"Harbour News 24", false, 3, 0x0402, 0x00c9, 0x0001},
    {"Kino Abend", false, 4, 0x0402, 0x00ca, 0x0001},
    {"Meridian Sport", true, 5, 0x0403, 0x012d, 0x0001},
    {"Meridian Sport Extra HD Live", true, 6, 0x0403, 0x012e, 0x0001},
    {"Lumen", false, 8, 0x0404, 0x0191, 0x0001},
    {"Weltblick Doku", false, 9, 0x0404, 0x0192, 0x0001},
    {"Kinderinsel", true, 10, 0x0405, 0x01f5, 0x0001},
    {"Stadtfunk TV", false, 11, 0x0405, 0x01f6, 0x0001},
    {"Regio Nord", false, 12, 0x0406, 0x0259, 0x0001},
    {"Regio Sued", false, 13, 0x0406, 0x025a, 0x0001},
    {"Musikkanal Prisma", true, 14, 0x0407, 0x02bd, 0x0001},
    {"Parlament Live", false, 15, 0x0407, 0x02be, 0x0001},
    {"Reise & Meer", false, 16, 0x0408, 0x0321, 0x0001},
    {"Bergwetter", false, 17, 0x0408, 0x0322, 0x0001},
    {"Classic Film Club", true, 18, 0x0409, 0x0385, 0x0001},
    {"Wissenswert", false, 19, 0x0409, 0x0386, 0x0001},
    {"Teleshop Orion", false, 20, 0x040a, 0x03e9, 0x0001},
    {"Atlas Info", true, 21, 0x3f01, 0x2711, 0x0085},
    {"Atlas Serien", true, 22, 0x3f01, 0x2712, 0x0085},
    {"Atlas Krimi", true, 23, 0x3f01, 0x2713, 0x0085},
    {"Atlas Natur", true, 24, 0x3f02, 0x2775, 0x0085},
    {"Nachtexpress", false, 25, 0x3f02, 0x2776, 0x0085},
    {"Sternwarte TV", false, 26, 0x3f03, 0x27d9, 0x0085},
    {"Gartenfreunde", false, 27, 0x3f03, 0x27da, 0x0085},
    {"Euro Mosaik", false, 30, 0x0bb9, 0x3a99, 0x0013},
    {"Mosaik Klassik", false, 31, 0x0bb9, 0x3a9a, 0x0013},
    {"Radio Leuchtturm", true, 101, 0x0c1d, 0x4e21, 0x0013},
    {"Radio Kompass", true, 102, 0x0c1d, 0x4e22, 0x0013},
    {"Radio Nordwind", true, 103, 0x0c1d, 0x4e23, 0x0013},
    {"Jazzlounge", false, 150, 0x0c1e, 0x4e85, 0x0013},
    {"Test Channel A", false, 201, 0xa001, 0x8001, 0xff01},
    {"Test Channel B", false, 202, 0xa001, 0x8002, 0xff01},
    {"Laborkanal", false, 999, 0xfffe, 0xfffe, 0xfffe},
};

// Columns the list's other fields use in this sample; the reader ignores them.
std::string list_line(const service& s)
{
    char line[line_size];
    char name[number_column + 1];
    snprintf(name, sizeof name, "%s%-*s", s.prefixed ? "\x05" : "", s.prefixed ? number_column - 1 : number_column,
             s.name);
    snprintf(line, sizeof line, "%s%5d  %5u %c %5u 3/4 DVB-S  %-34s%04x %04x %04x\n", name, s.number,
             10700 + 4 * (s.tsid & 0xFF), (s.tsid & 1) != 0 ? 'H' : 'V', 27500u, "sample", s.tsid, s.sid, s.onid);
    return line;
}

void put_be32(unsigned char* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

// A record for service i; its versions vary, some tables have none stored.
void versions_record(unsigned char* rec, std::uint32_t ids, std::uint32_t service_word, unsigned i)
{
    constexpr std::int32_t evening = 1796839200; // 09.12.2026-18:00:00 UTC
    memset(rec, 0, record_size);
    put_be32(rec, ids);
    put_be32(rec + 4, service_word);
    for (unsigned k = 0; k < 4; ++k)
        rec[8 + k] = (i + k) % 5 == 4 ? 0xFF : std::uint8_t((i * 7 + k * 3) % 32);
    const std::int32_t end = evening + std::int32_t(i % 12) * 300;
    put_be32(rec + 28, std::uint32_t(end));
    put_be32(rec + 32, std::uint32_t(end + 1800 + std::int32_t(i % 3) * 900));
}

// Makes the file's folders as it goes: a root simrx has not laid out yet has none.
bool write_file(const std::string& path, const void* data, std::size_t size)
{
    std::error_code failed;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), failed);
    if (failed) {
        fprintf(stderr, "mksample: %s: %s\n", std::filesystem::path(path).parent_path().c_str(),
                failed.message().c_str());
        return false;
    }
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr || fwrite(data, 1, size, f) != size || fclose(f) != 0) {
        fprintf(stderr, "mksample: %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: mksample ROOT\n  writes ROOT/pvr/SERVICES/services.txt and ROOT/data/SI/versions2\n");
        return 2;
    }
    const std::string root = argv[1];
    std::string list;
    for (const service& s : services)
        list += list_line(s);

    unsigned char versions[versions_max];
    unsigned records = 0;
    for (const service& s : services) {
        versions_record(versions + record_size * records, s.onid << 16 | s.tsid, s.sid << 16 | 0x0000, records);
        ++records;
    }
    // One service the list does not know.
    versions_record(versions + record_size * records, 0x00010999, 0x12340000, records);
    ++records;

    if (!write_file(root + "/pvr/SERVICES/services.txt", list.data(), list.size()) ||
        !write_file(root + "/data/SI/versions2", versions, record_size * records))
        return 1;
    printf("mksample: %zu services, %u version records under %s\n", std::size(services), records, root.c_str());
    return 0;
}
