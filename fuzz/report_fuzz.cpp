// Arbitrary bytes as the versions file: read it as verdump does and print the
// whole report; one line for every whole record of the first 3,600 bytes.
#include "verdump/report.hpp"
#include "verdump/services.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static const std::string& versions_file()
{
    static const std::string path = "/tmp/report_fuzz." + std::to_string(getpid());
    return path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A small list, so that some records find their service.
    const std::string list = "\x05"
                             "Fuzz TV" +
                             std::string(29, ' ') + "  7" + std::string(62, ' ') + "1 1 1\n";
    const std::string path = versions_file() + ".list";
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(list.data(), 1, list.size(), f);
    fclose(f);
    if (read_services(path.c_str()) != 1)
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FILE* f = fopen(versions_file().c_str(), "wb");
    if (f == nullptr || fwrite(data, 1, size, f) != size || fclose(f) != 0)
        abort();
    static std::uint8_t versions[versions_max];
    const long length = read_versions(versions_file().c_str(), versions);
    if (length != static_cast<long>(std::min(size, versions_max)))
        abort();

    static char text[report_max];
    const std::size_t printed = format_report(text, {versions, static_cast<std::size_t>(length)});
    if (printed + 1 >= sizeof text || text[printed] != '\0')
        abort(); // the report never fills its buffer
    if (std::count(text, text + printed, '\n') != length / static_cast<long>(record_size))
        abort();
    return 0;
}
