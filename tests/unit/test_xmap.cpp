#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"
#include "support/test_util.h"

namespace {

using brx_test::read_file;
using brx_test::run_in_child;
using brx_test::TempDir;
using brx_test::write_file;

struct HeaderCase {
    const char* name;
    std::string bytes;
    std::vector<int> versions;  // without the ending 0
    const char* keyword;
    int expected;
    const char* body;  // where the cursor must stand afterwards when accepted
};

class TextHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(TextHeader, AcceptsOrRejects)
{
    const HeaderCase& c = GetParam();
    TempDir dir;
    write_file(dir / "f.txt", c.bytes);
    xmap_class map(dir / "f.txt");
    ASSERT_NE(map.begin, nullptr);
    std::vector<int> versions = c.versions;
    versions.push_back(0);
    EXPECT_EQ(map.check_file(xmap_type_text, versions.data(), c.keyword, nullptr), c.expected);
    if (c.expected != 0) {
        EXPECT_EQ(std::string(map.cursor, map.end), c.body);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextHeader,
    ::testing::Values(
        HeaderCase{"plain", "I\n9001 version\nbody", {9001}, nullptr, 9001, "body"},
        HeaderCase{"other_version", "I\n9001 version\nbody", {820}, nullptr, 0, ""},
        HeaderCase{"second_of_list", "I\n900\nbody", {840, 900}, nullptr, 900, "body"},
        HeaderCase{"empty_list", "I\n900\nbody", {}, nullptr, 0, ""},
        HeaderCase{"marker_A", "A\n9001\nbody", {9001}, nullptr, 9001, "body"},
        HeaderCase{"marker_IBM", "IBM\n9001\n  body", {9001}, nullptr, 9001, "body"},
        HeaderCase{"marker_blank_first", " I\n9001\nbody", {9001}, nullptr, 0, ""},
        HeaderCase{"marker_small_a", "a\n9001\nbody", {9001}, nullptr, 0, ""},
        HeaderCase{"crlf_and_blank_lines", "I\r\n\r\n9001 version\r\n\r\n\tbody", {9001}, nullptr,
                   9001, "body"},
        HeaderCase{"cr_only", "I\r9001\rbody", {9001}, nullptr, 9001, "body"},
        HeaderCase{"nul_line_end", std::string("I\0009001\000body", 11), {9001}, nullptr, 9001,
                   "body"},
        HeaderCase{"leading_zero", "I\n0820\nx", {820}, nullptr, 820, "x"},
        HeaderCase{"minus", "I\n-820\nx", {-820}, nullptr, -820, "x"},
        HeaderCase{"plus", "I\n+820\nx", {820}, nullptr, 820, "x"},
        HeaderCase{"no_digit_test", "I\n82x\nx", {892}, nullptr, 892, "x"},
        // 99999999999 wraps to 1215752191 in 32 bits.
        HeaderCase{"wraps", "I\n99999999999\nx", {1215752191}, nullptr, 1215752191, "x"},
        HeaderCase{"empty_token", "I\n\n", {820}, nullptr, 0, ""},
        HeaderCase{"only_marker", "I", {820}, nullptr, 0, ""},
        HeaderCase{"version_at_end", "I\n820", {820}, nullptr, 820, ""},
        HeaderCase{"keyword", "I\n820\nSERVERS more text\nbody", {820}, "SERVERS", 820, "body"},
        HeaderCase{"keyword_longer_word", "I\n820\nSERVERSX\nbody", {820}, "SERVERS", 0, ""},
        HeaderCase{"keyword_small_case", "I\n820\nservers\nbody", {820}, "SERVERS", 0, ""},
        HeaderCase{"keyword_at_end", "I\n820\n  SERVERS", {820}, "SERVERS", 820, ""},
        HeaderCase{"keyword_cut_off", "I\n820\nSERV", {820}, "SERVERS", 0, ""},
        HeaderCase{"keyword_missing", "I\n820", {820}, "SERVERS", 0, ""},
        HeaderCase{"keyword_after_wrong_version", "I\n821\nSERVERS\n", {820}, "SERVERS", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A header cut off exactly at the end of a page: reading one byte too far
// would touch the unmapped page behind it.
TEST(MappedFile, NeverReadsPastAPageEnd)
{
    TempDir dir;
    const long page = sysconf(_SC_PAGESIZE);
    const int v[] = {820, 0};
    for (const std::string& tail : {std::string("SERV"), std::string("SERVERS"), std::string("8")}) {
        std::string bytes = "I\n820";
        if (tail == "8") bytes = "I\n";
        bytes += std::string(static_cast<std::size_t>(page) - bytes.size() - tail.size(), '\n');
        bytes += tail;
        write_file(dir / "p.txt", bytes);
        xmap_class map(dir / "p.txt");
        const int got = map.check_file(xmap_type_text, v, tail == "8" ? nullptr : "SERVERS", nullptr);
        EXPECT_EQ(got, tail == "SERVERS" ? 820 : 0) << tail;
        EXPECT_LE(map.cursor, map.end);
    }
    // Binary: the version's bytes past the end count as zero.
    write_file(dir / "b.bin", "i\x34\x03");
    xmap_class map(dir / "b.bin");
    EXPECT_EQ(map.check_file(xmap_type_binary, v, nullptr, nullptr), 820);
    EXPECT_EQ(map.cursor, map.end);
}

TEST(MappedFile, RemainderOfTheVersionLine)
{
    TempDir dir;
    write_file(dir / "f.txt", "I\n9001 \t version extra  \r\nbody");
    xmap_class map(dir / "f.txt");
    std::string rest = "old";
    const int wanted[] = {9001, 0};
    EXPECT_EQ(map.check_file(xmap_type_text, wanted, nullptr, &rest), 9001);
    EXPECT_EQ(rest, "version extra  ");
    const int other[] = {1, 0};
    rest = "old";
    EXPECT_EQ(map.check_file(xmap_type_text, other, nullptr, &rest), 0);
    EXPECT_EQ(rest, "version extra  ");  // handed back even when rejected
}

TEST(MappedFile, BinaryHeaderAndByteSwap)
{
    TempDir dir;
    const std::string swapped("a\x00\x00\x03\x34\x00\x00\x00\x01\x00\x00\x00\x02\x0a\x0b", 15);
    write_file(dir / "a.bin", swapped);
    xmap_class map(dir / "a.bin");
    const int v[] = {7, 820, 0};
    ASSERT_EQ(map.check_file(xmap_type_binary, v, nullptr, nullptr), 820);
    EXPECT_EQ(map.byte_swap, 1);
    std::uint32_t words[2];
    map.read_n_rev(words, 8);
    EXPECT_EQ(words[0], 1u);
    EXPECT_EQ(words[1], 2u);
    EXPECT_EQ(map.end - map.cursor, 2);

    ASSERT_EQ(map.check_file(xmap_type_binary, v, nullptr, nullptr), 820);
    unsigned char six[6];
    map.read_n_rev(six, 6);
    const unsigned char expect6[6] = {1, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(six, expect6, 6), 0);

    write_file(dir / "i.bin", std::string("i\x34\x03\x00\x00SERVERS\nrest", 17));
    xmap_class little(dir / "i.bin");
    EXPECT_EQ(little.check_file(xmap_type_binary, v, "SERVERS", nullptr), 820);
    EXPECT_EQ(little.byte_swap, 0);
    EXPECT_EQ(std::string(little.cursor, little.end), "rest");

    write_file(dir / "m.bin", "a");
    xmap_class marker_only(dir / "m.bin");
    const int zero_ok[] = {820, 0};
    EXPECT_EQ(marker_only.check_file(xmap_type_binary, zero_ok, nullptr, nullptr), 0);
    write_file(dir / "x.bin", std::string("x\x34\x03\x00\x00", 5));
    xmap_class bad_marker(dir / "x.bin");
    EXPECT_EQ(bad_marker.check_file(xmap_type_binary, zero_ok, nullptr, nullptr), 0);
}

TEST(MappedFile, ReadPastTheEndIsFatal)
{
    TempDir dir;
    write_file(dir / "a.bin", std::string("i\x01\x00\x00\x00\x01\x02", 7));
    auto r = run_in_child(
        [&] {
            xmap_class map(dir / "a.bin");
            const int v[] = {1, 0};
            map.check_file(xmap_type_binary, v, nullptr, nullptr);
            char buf[8];
            map.read_n_rev(buf, 3);
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("Invalid read_n_rev read!"), std::string::npos);
}

TEST(MappedFile, OpeningMissingEmptyFolderAndRepairedNames)
{
    TempDir dir;
    xmap_class missing(dir / "nothing");
    EXPECT_EQ(missing.begin, nullptr);
    const int v[] = {1, 0};
    EXPECT_EQ(missing.check_file(xmap_type_text, v, nullptr, nullptr), 0);

    write_file(dir / "empty", "");
    xmap_class empty(dir / "empty");
    EXPECT_NE(empty.begin, nullptr);
    EXPECT_EQ(empty.begin, empty.end);
    EXPECT_EQ(empty.check_file(xmap_type_text, v, nullptr, nullptr), 0);

    xmap_class folder(dir.path());
    EXPECT_EQ(folder.begin, nullptr);

    xmap_class nothing("");
    EXPECT_EQ(nothing.begin, nullptr);
    EXPECT_TRUE(nothing.path.empty());

    ASSERT_EQ(mkdir((dir / "Sub").c_str(), 0755), 0);
    write_file(dir / "Sub/Data.TXT", "I\n1\nx");
    xmap_class repaired(dir / "sub/data.txt");
    ASSERT_NE(repaired.begin, nullptr);
    EXPECT_EQ(repaired.check_file(xmap_type_text, v, nullptr, nullptr), 1);
    EXPECT_EQ(repaired.path, dir / "sub/data.txt");

    // retry releases the old file and maps the new one.
    EXPECT_EQ(repaired.retry(dir / "nothing"), nullptr);
    EXPECT_EQ(repaired.begin, nullptr);
    EXPECT_EQ(repaired.fd, -1);
    EXPECT_NE(repaired.retry(dir / "empty"), nullptr);
}

TEST(MappedFile, BadPathsAreFatal)
{
    TempDir dir;
    write_file(dir / "a:b", "I\n1\n");
    for (const std::string& p : {dir / "a:b", dir / "a\\b"}) {
        auto r = run_in_child([&] { xmap_class map(p); }, dir.path());
        EXPECT_EQ(r.signal, SIGABRT) << p;
        EXPECT_NE(r.out.find("I got a bad dirchar! I only want '/'!"), std::string::npos);
    }
    auto r = run_in_child([&] { xmap_class map("/" + std::string(499, 'x')); }, dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("String too long!"), std::string::npos);
    auto k = run_in_child(
        [&] {
            xmap_class map("");
            map.check_file(3, nullptr, nullptr, nullptr);
        },
        dir.path());
    EXPECT_EQ(k.signal, SIGABRT);
    EXPECT_NE(k.out.find("Bad check_file type!"), std::string::npos);
}

TEST(FrameworkHeader, TextAndBinaryHeadersAreWritten)
{
    TempDir dir;
    ASSERT_EQ(ouf_open(dir / "Prefs.prf", xmap_type_text, 9001, "no-copyright-string"), 1);
    ouf << "body\n";
    ouf.close();
    EXPECT_EQ(read_file(dir / "Prefs.prf"), "I\n9001 version\nbody\n");

    ASSERT_EQ(ouf_open(dir / "n.txt", xmap_type_text, -3, " (c) us"), 1);
    ouf.close();
    EXPECT_EQ(read_file(dir / "n.txt"), "I\n-3 version (c) us\n");

    ASSERT_EQ(ouf_open(dir / "README", xmap_type_text, 1, "no-copyright-string"), 1);
    ouf.close();
    EXPECT_TRUE(brx_test::exists(dir / "REAdme"));
    EXPECT_FALSE(brx_test::exists(dir / "README"));

    ASSERT_EQ(ouf_open(dir / "b.bin", xmap_type_binary, 820, "ignored"), 1);
    ouf.close();
    EXPECT_EQ(read_file(dir / "b.bin"), std::string("i\x34\x03\x00\x00", 5));

    // What the writer writes, the reader accepts.
    xmap_class map(dir / "Prefs.prf");
    const int v[] = {9001, 0};
    EXPECT_EQ(map.check_file(xmap_type_text, v, nullptr, nullptr), 9001);
    EXPECT_EQ(std::string(map.cursor, map.end), "body\n");
}

TEST(FrameworkHeader, MissingFolderIsMadeOnce)
{
    TempDir dir;
    ASSERT_EQ(ouf_open(dir / "new/p.prf", xmap_type_text, 9001, "no-copyright-string"), 1);
    ouf.close();
    EXPECT_EQ(read_file(dir / "new/p.prf"), "I\n9001 version\n");

    auto r = run_in_child(
        [&] {
            const int got = ouf_open(dir / "x/y/p.prf", xmap_type_text, 9001, "no-copyright-string");
            printf("result=%d good=%d\n", got, ouf.good() ? 1 : 0);
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("I could not save the file!"), std::string::npos);
    EXPECT_NE(r.out.find("result=0 good=0"), std::string::npos);
    EXPECT_FALSE(brx_test::exists(dir / "x"));

    auto k = run_in_child([&] { ouf_open(dir / "z", 5, 1, ""); }, dir.path());
    EXPECT_EQ(k.signal, SIGABRT);
    EXPECT_NE(k.out.find("Bad ouf_open type!"), std::string::npos);
}

TEST(FileOps, BoundedPathCopy)
{
    char buf[strDIM];
    strcpy_bounded(buf, std::string(499, 'a'));
    EXPECT_EQ(std::strlen(buf), 499u);
    strcpy_bounded(buf, "");
    EXPECT_EQ(buf[0], 0);
    TempDir dir;
    auto r = run_in_child([&] { strcpy_bounded(buf, std::string(500, 'a')); }, dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("String too long!"), std::string::npos);
}

}  // namespace
