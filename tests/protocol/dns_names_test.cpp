// Uncompressed DNS name lists: accepted names, refused compression and labels, DNSSL padding.
#include <gtest/gtest.h>

#include "hex_bytes.h"
#include "protocol/dns_names.h"

namespace {

struct NameRow {
    const char* what;
    const char* hex;
    bool padded;  // the DNSSL form
    std::vector<std::string> names;
    DnsNameProblem problem;
    std::size_t problem_offset;
};

const NameRow kRows[] = {
    {"two names", "036c6162076578616d706c6500 04636f727000", false, {"lab.example", "corp"}, DnsNameProblem::kNone, 0},
    {"root alone", "00", false, {"."}, DnsNameProblem::kNone, 0},
    {"nothing", "", false, {}, DnsNameProblem::kNone, 0},
    {"hyphen, digit, underscore, upper case", "065f612d42633900", false, {"_a-Bc9"}, DnsNameProblem::kNone, 0},
    {"pointer after a good name", "01610001 62c000", false, {"a"}, DnsNameProblem::kCompressed, 5},
    {"pointer first", "c00c", false, {}, DnsNameProblem::kCompressed, 0},
    {"reserved label type 01", "4161", false, {}, DnsNameProblem::kBadLabel, 0},
    {"space in a label", "03612062 00", false, {}, DnsNameProblem::kBadLabel, 2},
    {"NUL inside a label", "0261 00 00", false, {}, DnsNameProblem::kBadLabel, 2},
    {"label past the end", "0561626300", false, {}, DnsNameProblem::kTruncated, 0},
    {"no root label", "016101", false, {}, DnsNameProblem::kTruncated, 2},
    {"DNSSL padding ends the list", "016100 00000000", true, {"a"}, DnsNameProblem::kNone, 0},
    {"DNSSL padding not zero", "016100 000001", true, {"a"}, DnsNameProblem::kBadLabel, 5},
    {"zero byte is the root without padding", "016100 00", false, {"a", "."}, DnsNameProblem::kNone, 0},
};

TEST(DnsNames, RowsDecodeOrStopAtTheirProblem)
{
    for (const NameRow& row : kRows) {
        const std::vector<std::uint8_t> bytes = hex_bytes(row.hex);
        const DnsNameList list = decode_dns_name_list(bytes.data(), bytes.size(), row.padded);
        EXPECT_EQ(list.names, row.names) << row.what;
        EXPECT_EQ(list.problem, row.problem) << row.what;
        EXPECT_EQ(list.problem_offset, row.problem_offset) << row.what;
    }
}

TEST(DnsNames, NamesOver255BytesAreRefused)
{
    // Four 63-byte labels make 256 bytes with the root label: one too many. Three and a 61-byte one fit.
    for (const std::size_t last : {61u, 62u}) {
        std::vector<std::uint8_t> bytes;
        for (const std::size_t length : {std::size_t{63}, std::size_t{63}, std::size_t{63}, last}) {
            bytes.push_back(static_cast<std::uint8_t>(length));
            bytes.insert(bytes.end(), length, 'a');
        }
        bytes.push_back(0);
        const DnsNameList list = decode_dns_name_list(bytes.data(), bytes.size(), false);
        EXPECT_EQ(list.problem, last == 61 ? DnsNameProblem::kNone : DnsNameProblem::kTooLong) << last;
    }
}

}  // namespace
