// Arbitrary bytes as the service list, then lookups of what was read.
#include "verdump/services.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

static const std::string& list_path()
{
    static const std::string path = "/tmp/services_fuzz." + std::to_string(getpid());
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FILE* f = fopen(list_path().c_str(), "wb");
    if (f == nullptr || fwrite(data, 1, size, f) != size || fclose(f) != 0)
        abort();
    const std::int32_t n = read_services(list_path().c_str());
    if (n < 0 || n > max_services || n != channels)
        abort();
    for (int i = 0; i < n; ++i) {
        if (memchr(sname[i], '\0', label_max + 1) == nullptr)
            abort(); // every label is cut to 15 characters
        const auto ids = static_cast<std::uint32_t>(oni[i]) << 16 | (static_cast<std::uint32_t>(tsi[i]) & 0xFFFF);
        const char* found = lookup_name(ids, static_cast<std::uint32_t>(sid[i]) << 16);
        const bool in_range =
            oni[i] >= 0 && oni[i] <= 0xFFFF && tsi[i] >= 0 && tsi[i] <= 0xFFFF && sid[i] >= 0 && sid[i] <= 0xFFFF;
        if (in_range && strcmp(found, "not found") == 0)
            abort(); // an entry is always found by its own identifiers
    }
    if (size >= 8) {
        std::uint32_t w[2];
        memcpy(w, data, sizeof w);
        (void)lookup_name(w[0], w[1]);
    }
    return 0;
}
