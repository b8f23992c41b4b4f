// verdump: prints the receiver's stored table versions, one line per service record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr const char* versions_path = "/data/SI/versions2";
inline constexpr std::size_t record_size = 36;
inline constexpr std::size_t versions_max = 3600; // bytes read at most: 100 records
inline constexpr std::uint8_t first_table_id = 0x4E;
inline constexpr std::size_t report_line_max = 160; // bytes; a line takes about 115
inline constexpr std::size_t report_max = versions_max / record_size * report_line_max + 1;

// One record of the versions file; on disk every multi-byte field is big-endian.
struct versions_rec {
    std::uint32_t ids;          // original network id << 16 | transport stream id
    std::uint32_t service_word; // service id << 16, low half not interpreted
    std::uint8_t version[4];    // tables 0x4E..0x51; 0x80 and above: none stored
    std::int32_t end;           // seconds since 1970, UTC
    std::int32_t begin_next;    // seconds since 1970, UTC
};

versions_rec decode_record(std::span<const std::uint8_t, record_size> bytes);

// A time as "%d.%m.%Y-%H:%M:%S" in UTC, in one buffer that each call overwrites.
const char* t_str(std::int32_t t);

// The report's text: one line per whole record of data, in order, NUL
// terminated. Returns its length in bytes.
std::size_t format_report(std::span<char> into, std::span<const std::uint8_t> data);

// Writes all of text, retrying after a signal; false when a write fails.
bool write_all(int fd, std::span<const char> text);

// Reads up to versions_max bytes of the file, until its end. When the file
// cannot be opened or read: says so as perror with the path does, returns -1.
long read_versions(const char* path, std::span<std::uint8_t, versions_max> into);

int verdump_main();
