// The receiver's service list: a fixed-column text file, one service a line,
// read once into a table and searched by the service's three identifiers.
#pragma once

#include <cstdint>

inline constexpr const char* services_path = "/pvr/SERVICES/services.txt";

inline constexpr int max_services = 64;
inline constexpr int label_size = 30;
inline constexpr int label_max = 15;  // characters: the number's 3, then up to 12 of the name
inline constexpr int line_size = 200; // fgets reads at most 199 bytes of a line
inline constexpr int number_column = 37;
inline constexpr int ids_column = 102; // transport stream id, service id, original network id

extern char sname[max_services][label_size]; // "%02d " number, then the name
extern std::int32_t tsi[max_services];
extern std::int32_t sid[max_services];
extern std::int32_t oni[max_services];
extern std::int32_t channels;

// Fills the table from the list file and returns the number of entries.
// When the file cannot be opened or read: says so on standard error, as
// perror with the path does, and returns -1.
std::int32_t read_services(const char* path);

// The label of the first entry with the identifiers of a versions record:
// ids holds the original network id (upper 16 bits) and the transport stream
// id (lower 16 bits), service_word the service id in its upper 16 bits.
const char* lookup_name(std::uint32_t ids, std::uint32_t service_word);
