#include "verdump/report.hpp"
#include "verdump/services.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The tests' files, in a private folder that goes with them when the tests end.
struct temp_folder {
    std::string path;
    temp_folder()
    {
        const char* tmpdir = getenv("TMPDIR");
        std::string pattern =
            std::string(tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp") + "/verdump_test.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            perror("verdump_test: mkdtemp");
            std::abort();
        }
        path = pattern;
    }
    ~temp_folder() { std::filesystem::remove_all(path); }
};

std::string temp_path(const char* name)
{
    static const temp_folder folder;
    return folder.path + "/" + name;
}

std::string write_temp(const char* name, const std::string& bytes)
{
    std::string path = temp_path(name);
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
}

// A list line with the name at column 0, the number at 37 and the ids at 102.
std::string list_line(const std::string& name, const std::string& number, const std::string& ids)
{
    std::string line = name;
    line.resize(37, ' ');
    line += number;
    line.resize(102, ' ');
    return line + ids + "\n";
}

// A label as the table holds it: cut or padded with the line's blanks to 15 characters.
std::string label(const std::string& text) { return (text + std::string(15, ' ')).substr(0, 15); }

std::int32_t read_list(const std::string& text) { return read_services(write_temp("list", text).c_str()); }

// A limit of 32 open files while it lives, so that 40 reads that each left
// a file open would run out; the old limit back after.
class FewOpenFiles {
    rlimit old{};

  public:
    bool set = false;
    FewOpenFiles()
    {
        if (getrlimit(RLIMIT_NOFILE, &old) != 0)
            return;
        rlimit few = old;
        few.rlim_cur = 32;
        set = setrlimit(RLIMIT_NOFILE, &few) == 0;
    }
    FewOpenFiles(const FewOpenFiles&) = delete;
    FewOpenFiles& operator=(const FewOpenFiles&) = delete;
    ~FewOpenFiles()
    {
        if (set)
            setrlimit(RLIMIT_NOFILE, &old);
    }
};

TEST(Services, LabelsFromNumberAndName)
{
    const std::string lines = list_line("\x1fSample TV", "    7", "44d 6dca 1") +
                              list_line("\x85"
                                        "Eighty Five",
                                        "123", "1 2 3") +
                              list_line("Twenty Characters Ok", "12", "1 3 3") + list_line("Short", "5", "1 4 3") +
                              list_line("No Number", "x", "1 5 3") + list_line("Ctl\x01Inside", "6", "1 6 3") +
                              list_line("Number to column 101", "8" + std::string(63, ' ') + "z", "1 7 3");
    ASSERT_EQ(read_list(lines), 7);
    EXPECT_EQ(channels, 7);
    EXPECT_STREQ(sname[0], "07 Sample TV   ");
    EXPECT_STREQ(sname[1], "123Eighty Five ");
    EXPECT_STREQ(sname[2], "12 Twenty Chara");
    EXPECT_STREQ(sname[3], "05 Short       ");
    EXPECT_STREQ(sname[4], "00 No Number   ");
    EXPECT_STREQ(sname[5], "06 Ctl\x01Inside  "); // a control byte inside the name stays
    EXPECT_EQ(sid[6], 7);                         // the identifiers from column 102, whatever is before
    EXPECT_EQ(tsi[0], 0x44d);
    EXPECT_EQ(sid[0], 0x6dca);
    EXPECT_EQ(oni[0], 1);
}

TEST(Services, LookupOnTheFullIdentifierRange)
{
    const std::string lines = list_line("First", "1", "a001 8001 ff01") + list_line("Second", "2", "a001 8001 ff01") +
                              list_line("Top", "3", "ffff ffff ffff") + list_line("Zero", "4", "0 0 0");
    ASSERT_EQ(read_list(lines), 4);
    EXPECT_EQ(lookup_name(0xFF01A001, 0x80010000), label("01 First"));
    EXPECT_EQ(lookup_name(0xFF01A001, 0x8001FFFF), label("01 First")); // low half takes no part
    EXPECT_EQ(lookup_name(0xFFFFFFFF, 0xFFFF0000), label("03 Top"));
    EXPECT_EQ(lookup_name(0, 0), label("04 Zero"));
    EXPECT_STREQ(lookup_name(0xFF01A001, 0x80020000), "not found");
    EXPECT_STREQ(lookup_name(0xFF00A001, 0x80010000), "not found");

    ASSERT_EQ(read_list(""), 0);
    EXPECT_STREQ(lookup_name(0, 0), "not found");

    // A shorter list, or one that cannot be read, leaves no entry of an earlier one.
    ASSERT_EQ(read_list(lines), 4);
    ASSERT_EQ(read_list(list_line("Alone", "5", "1 1 1")), 1);
    EXPECT_STREQ(lookup_name(0xFF01A001, 0x80010000), "not found");
    ASSERT_EQ(read_list(lines), 4);
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_services(temp_path("no such list").c_str()), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(lookup_name(0xFF01A001, 0x80010000), "not found");

    // Read again and again under a low limit of open files: closed each time.
    const FewOpenFiles limit;
    ASSERT_TRUE(limit.set);
    const std::string again = write_temp("again", lines);
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(read_services(again.c_str()), 4) << "read " << i;
}

TEST(Services, TableHolds64AndLongLinesAreOneEntry)
{
    std::string lines;
    for (int i = 0; i < 70; ++i) {
        char ids[16];
        snprintf(ids, sizeof ids, "1 %x 1", i);
        lines += list_line("S" + std::to_string(i), std::to_string(i), ids);
    }
    ASSERT_EQ(read_list(lines), 64);
    EXPECT_EQ(lookup_name(0x00010001, 63u << 16), label("63 S63"));
    EXPECT_EQ(lookup_name(0x00010001, 0u << 16), label("00 S0")); // the last entry's label spilled nowhere
    EXPECT_STREQ(lookup_name(0x00010001, 64u << 16), "not found");

    std::string longline = list_line("Long", "9", "2 2 2");
    longline.insert(longline.size() - 1, 4000, '.');          // 4000 more bytes before its newline
    const std::string next = list_line("Next", "8", "3 3 3"); // the line after it stays its own entry
    ASSERT_EQ(read_list(longline + next), 2);
    EXPECT_EQ(lookup_name(0x00020002, 0x00020000), label("09 Long"));
    EXPECT_EQ(lookup_name(0x00030003, 0x00030000), label("08 Next"));
    ASSERT_EQ(read_list(longline.substr(0, longline.size() - 1)), 1); // the last line, without its newline

    // Lines of 199 bytes with the newline (the buffer's most) and of 200,
    // whose newline is left over: each one entry, the next line its own.
    // The last identifier's last digit is the line's last byte before the newline.
    for (const std::size_t bytes : {199, 200}) {
        const std::string full = list_line("Full", "7", "4 4 " + std::string(bytes - 102 - 6, '0') + "4");
        ASSERT_EQ(read_list(full + next), 2) << bytes << " bytes";
        EXPECT_EQ(lookup_name(0x00040004, 0x00040000), label("07 Full")) << bytes << " bytes";
        EXPECT_EQ(lookup_name(0x00030003, 0x00030000), label("08 Next")) << bytes << " bytes";
    }
}

TEST(Services, ShortLinesNeverReadAnEarlierLine)
{
    const std::string lines = list_line("Full", "  42", "abc def 123") + "Tiny\n" + std::string("Mid") +
                              std::string(40, ' ') + "\n" + list_line("One", "1", "abc") + "\n" +
                              list_line("After", "2", "1 2 3") + list_line("No hex", "3", "zz");
    ASSERT_EQ(read_list(lines), 7); // an empty line is an entry, and the list goes on
    EXPECT_STREQ(sname[1], "00 Tiny\n");
    EXPECT_EQ(tsi[1], 0);
    EXPECT_EQ(sid[1], 0);
    EXPECT_EQ(oni[1], 0);
    EXPECT_STREQ(sname[2], "00 Mid         ");
    EXPECT_EQ(tsi[2], 0);
    EXPECT_EQ(tsi[6], 0);     // identifiers that do not scan stay 0
    EXPECT_EQ(tsi[3], 0xabc); // one identifier of three: the others stay 0
    EXPECT_EQ(sid[3], 0);
    EXPECT_EQ(oni[3], 0);
}

// A NUL byte in a line ends the name but hides none of the line's fields,
// and a long line holding one is still one entry: the next line is found.
TEST(Services, NulBytesHideNothing)
{
    using namespace std::string_literals;
    const std::string ids = "44d 6dca 1";
    std::string before_ids = list_line("Sample TV", "7", ids);
    before_ids[80] = '\0';
    std::string long_line = list_line("Long\0Line"s, "9", "2 2 2");
    long_line.insert(long_line.size() - 1, 150, '\0'); // 258 bytes with its newline
    const struct {
        const char* what;
        std::string lines;
        int entries;
        const char* label; // of the line with the identifiers 1/44d/6dca
    } cases[] = {
        {"NUL at column 0", list_line("\0Sample TV"s, "7", ids), 1, "07 Sample TV   "},
        {"NUL at column 2", list_line("Sa\0mple TV"s, "7", ids), 1, "07 Sa"},
        {"NUL before the number", list_line("Sample TV" + std::string(20, ' ') + "\0"s, "7", ids), 1,
         "07 Sample TV   "},
        {"NUL before the identifiers", before_ids, 1, "07 Sample TV   "},
        {"long line with NULs", long_line + list_line("Next", "8", ids), 2, "08 Next        "},
        // fgets takes 199 bytes at a time: a line of 199 with its newline is
        // whole, one of 200 is read in two, the rest dropped; either way the
        // next line is an entry of its own.
        {"a line of 199 bytes", list_line("Long", "9", "2 2 2" + std::string(87, ' ')) + list_line("Next", "8", ids), 2,
         "08 Next        "},
        {"a line of 200 bytes", list_line("Long", "9", "2 2 2" + std::string(88, ' ')) + list_line("Next", "8", ids), 2,
         "08 Next        "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(read_list(c.lines), c.entries);
        EXPECT_STREQ(lookup_name(0x0001044D, 0x6DCA0000), c.label);
    }
}

TEST(Services, MissingListIsReported)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_services("/nonexistent/services.txt"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "/nonexistent/services.txt: No such file or directory\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_services("/tmp"), -1); // a folder opens but cannot be read
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "/tmp: Is a directory\n");
}

std::vector<std::uint8_t> record(std::uint32_t ids, std::uint32_t service, std::uint32_t versions, std::uint32_t end,
                                 std::uint32_t next)
{
    std::vector<std::uint8_t> r(record_size, 0xEE); // the uninterpreted bytes
    const auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            r[at + i] = std::uint8_t(v >> (24 - 8 * i));
    };
    put(0, ids);
    put(4, service);
    put(8, versions);
    put(28, end);
    put(32, next);
    return r;
}

std::string report(const std::vector<std::uint8_t>& data)
{
    static char text[report_max];
    return std::string(text, format_report(text, data));
}

TEST(Report, ExampleLineExactly)
{
    ASSERT_EQ(read_list(list_line("Sample TV", "7", "44d 6dca 1")), 1);
    EXPECT_EQ(report(record(0x0001044D, 0x6DCA0000, 0x0505FF02, 1165608900, 1165610700)),
              "07 Sample TV    0001044d 6dca0000 4e=05:4f=05:      51=02: end=08.12.2006-20:15:00 "
              "begin_next=08.12.2006-20:45:00\n");
}

// What does not fit is cut, NUL terminated, and nothing goes into no room.
TEST(Report, ARoomTooSmallHoldsWhatFits)
{
    ASSERT_EQ(read_list(list_line("Sample TV", "7", "44d 6dca 1")), 1);
    const auto data = record(0x0001044D, 0x6DCA0000, 0x0505FF02, 1165608900, 1165610700);
    char room[12];
    std::memset(room, 'x', sizeof room);
    EXPECT_EQ(format_report({room, 10}, data), 9u);
    EXPECT_EQ(std::string(room, 10), std::string("07 Sample\0", 10));
    EXPECT_EQ(room[10], 'x');
    EXPECT_EQ(format_report(std::span<char>(room, 0), data), 0u);
    EXPECT_EQ(room[0], '0'); // untouched
}

// The contract holds for any amount of data, far past the file's 100
// records: every whole record gets its line, and any text is written whole.
TEST(Report, AnyNumberOfRecordsAndAnyLengthOfText)
{
    ASSERT_EQ(read_list(""), 0);
    char empty[4] = "abc";
    EXPECT_EQ(format_report(empty, std::vector<std::uint8_t>(35)), 0u); // no whole record
    EXPECT_EQ(empty[0], '\0');
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 2000; ++i) {
        const auto r = record(std::uint32_t(i), 0, 0xFFFFFFFF, 0, 0);
        data.insert(data.end(), r.begin(), r.end());
    }
    std::vector<char> room(std::size_t{2000} * 120);
    const std::size_t length = format_report(room, data);
    EXPECT_EQ(std::count(room.begin(), room.begin() + std::ptrdiff_t(length), '\n'), 2000);
    EXPECT_GT(length, 65535u);
    const std::string path = temp_path("whole");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(write_all(fd, {room.data(), length}));
    close(fd);
    struct stat written {};
    ASSERT_EQ(stat(path.c_str(), &written), 0);
    EXPECT_EQ(std::size_t(written.st_size), length);
}

TEST(Report, VersionBytesAndTimes)
{
    ASSERT_EQ(read_list(""), 0);
    EXPECT_EQ(report(record(1, 2, 0x7F80FFFF, 0, 0xFFFFFFFF)),
              "not found 00000001 00000002 4e=7f:                   end=01.01.1970-00:00:00 "
              "begin_next=31.12.1969-23:59:59\n");
    EXPECT_EQ(report(record(1, 2, 0x00010203, 0x80000000, 0x7FFFFFFF)),
              "not found 00000001 00000002 4e=00:4f=01:50=02:51=03: end=13.12.1901-20:45:52 "
              "begin_next=19.01.2038-03:14:07\n");
    EXPECT_STREQ(t_str(1165608900), "08.12.2006-20:15:00");
}

TEST(Report, NamesFromTheListAreNeverFormats)
{
    ASSERT_EQ(read_list(list_line("%s%n%x%%", "1", "1 1 1")), 1);
    const std::string line = report(record(0x00010001, 0x00010000, 0xFFFFFFFF, 0, 0));
    EXPECT_EQ(line.substr(0, 16), "01 %s%n%x%%     ");
    EXPECT_NE(line.find(std::string(24, ' ') + " end="), std::string::npos);
}

TEST(Report, RecordCountFromBytesRead)
{
    ASSERT_EQ(read_list(""), 0);
    const auto lines = [](std::size_t bytes) {
        const std::string text = report(std::vector<std::uint8_t>(bytes, 0));
        return std::count(text.begin(), text.end(), '\n');
    };
    EXPECT_EQ(lines(0), 0);
    EXPECT_EQ(lines(40), 1);
    EXPECT_EQ(lines(71), 1);
    EXPECT_EQ(lines(72), 2);

    EXPECT_EQ(lines(3599), 99);
    EXPECT_EQ(lines(3600), 100);

    static std::uint8_t buffer[versions_max];
    for (const std::size_t size : {0, 3599, 3600, 3601, 4000}) {
        const std::string file = write_temp("versions", std::string(size, '\x01'));
        EXPECT_EQ(read_versions(file.c_str(), buffer), long(std::min(size, versions_max))) << size << " bytes";
    }
}

// A short read, then the rest: more of it than the buffer has room for
// stops at 3,600 bytes, and nothing is written past the buffer.
TEST(Report, ShortReadsAreNotTheEnd)
{
    for (const std::size_t rest : {40, 3564, 4000}) {
        SCOPED_TRACE(rest);
        const std::string fifo = temp_path("fifo");
        unlink(fifo.c_str());
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::thread writer([&] {
            FILE* f = fopen(fifo.c_str(), "wb");
            fwrite(std::string(36, 'a').data(), 1, 36, f);
            fflush(f);
            usleep(100 * 1000);
            fwrite(std::string(rest, 'b').data(), 1, rest, f);
            fclose(f);
        });
        static std::uint8_t area[versions_max + 64]; // the buffer, then what must stay untouched
        std::fill(std::begin(area), std::end(area), 0xEE);
        EXPECT_EQ(read_versions(fifo.c_str(), std::span<std::uint8_t, versions_max>(area, versions_max)),
                  long(std::min(36 + rest, versions_max)));
        writer.join();
        unlink(fifo.c_str());
        EXPECT_EQ(std::count(area + versions_max, std::end(area), 0xEE), 64);
    }
}

TEST(Report, UnreadableVersionsFileIsReported)
{
    static std::uint8_t buffer[versions_max];
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_versions("/nonexistent/versions2", buffer), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "/nonexistent/versions2: No such file or directory\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_versions("/tmp", buffer), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "/tmp: Is a directory\n");

    // Read again and again under a low limit of open files, failing or not:
    // closed each time.
    const FewOpenFiles limit;
    ASSERT_TRUE(limit.set);
    const std::string file = write_temp("versions", std::string(72, 'v'));
    testing::internal::CaptureStderr();
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(read_versions(file.c_str(), buffer), 72) << "read " << i;
        ASSERT_EQ(read_versions("/tmp", buffer), -1) << "read " << i;
    }
    testing::internal::GetCapturedStderr();
}

} // namespace
