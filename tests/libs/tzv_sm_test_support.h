// Helpers of the SM3, SM4 and block-mode tests: hex strings, the cases of the NIST-style vector
// files of python3-cryptography-vectors with the fields in force at each, reproducible random data
// and the comparison of 16 lanes' results.
#ifndef TZV_SM_TEST_SUPPORT_H
#define TZV_SM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tzv_sm_lanes.h"
#include "vector_file.h"

namespace smtest {

using Bytes = std::vector<uint8_t>;

using vectors::fromHex;

inline std::string toHex(const uint8_t* p, std::size_t n)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}
inline std::string toHex(const Bytes& b) { return toHex(b.data(), b.size()); }

// One test case of a vector file: its own fields over the fields in force where it stands
// (section headers such as "[Keylen = 128]" or "[ENCRYPT]", and blocks of fields that belong to
// the cases after them, such as the CCM files' "Key = ..." before a run of "Count" blocks).
struct VectorCase {
    std::map<std::string, std::string> fields;

    bool has(const std::string& k) const { return fields.count(k) != 0; }
    const std::string& str(const std::string& k) const
    {
        auto it = fields.find(k);
        if (it == fields.end()) throw std::out_of_range("no field " + k);
        return it->second;
    }
    Bytes bytes(const std::string& k) const { return fromHex(str(k)); }
    long num(const std::string& k) const { return std::stol(str(k)); }
};

// Reads a NIST-style file through vector_file.h and gives each case the fields in force where it
// stands. In a file with "Count" (any case) lines, a record without one sets fields for the cases
// after it; in a file without, every record is a case. A header "[ENCRYPT]" sets the field
// "section", a header "[a = 1, b = 2]" the fields a and b; a bare word ("FAIL") is a field with an
// empty value.
inline std::vector<VectorCase> readVectorFile(const std::string& path)
{
    std::vector<vectors::Record> records = vectors::readFile(path);
    auto counted = [](const vectors::Record& r) { return r.has("Count") || r.has("COUNT"); };
    bool anyCount = false;
    for (const auto& r : records) anyCount = anyCount || counted(r);
    std::map<std::string, std::string> context;
    std::vector<VectorCase> cases;
    for (const auto& r : records) {
        if (anyCount && !counted(r)) {
            for (const auto& kv : r.fields) context[kv.first] = kv.second;
            continue;
        }
        VectorCase c;
        c.fields = context;
        for (const std::string& h : r.headers) {
            if (h.find('=') == std::string::npos) {
                c.fields["section"] = h;
                continue;
            }
            std::size_t start = 0;
            while (start <= h.size()) {
                std::size_t comma = std::min(h.find(',', start), h.size());
                std::string item = h.substr(start, comma - start);
                std::size_t eq = item.find('=');
                c.fields[vectors::trimmed(item.substr(0, eq))] =
                    eq == std::string::npos ? std::string() : vectors::trimmed(item.substr(eq + 1));
                start = comma + 1;
            }
        }
        for (const auto& kv : r.fields) c.fields[kv.first] = kv.second;
        cases.push_back(c);
    }
    return cases;
}

inline std::string vectorPath(const std::string& relative) { return std::string(PS_VECTOR_DIR) + "/" + relative; }

// Reproducible test data.
struct Random {
    explicit Random(uint32_t seed) : gen(seed) {}
    Bytes bytes(std::size_t n)
    {
        Bytes b(n);
        for (auto& x : b) x = (uint8_t)gen();
        return b;
    }
    std::mt19937 gen;
};

// Byte-wise equality that names the first difference, for texts too long to print.
inline ::testing::AssertionResult sameBytes(const Bytes& got, const Bytes& want)
{
    auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    if (got.size() != want.size()) return ::testing::AssertionFailure() << got.size() << " bytes, not " << want.size();
    if (diff.first != got.end()) return ::testing::AssertionFailure() << "first difference at byte " << diff.first - got.begin();
    return ::testing::AssertionSuccess();
}

// Compares every lane's status, text, IV, tag and guard bytes with what is expected.
inline void expectLanes(const std::vector<smlanes::LaneResult>& got, const std::vector<smlanes::LaneResult>& want)
{
    for (int i = 0; i < smlanes::kLanes; ++i) {
        SCOPED_TRACE("lane " + std::to_string(i));
        EXPECT_EQ(got[i].status, want[i].status);
        EXPECT_TRUE(sameBytes(got[i].out, want[i].out)) << "text";
        EXPECT_EQ(toHex(got[i].iv), toHex(want[i].iv));
        EXPECT_EQ(toHex(got[i].tag), toHex(want[i].tag));
        EXPECT_TRUE(got[i].guardKept) << "written beyond the text or tag";
    }
}

// What a refused lane ends with: its status, nothing written, the IV as it was.
inline smlanes::LaneResult untouched(const smlanes::Lane& l, unsigned status)
{
    smlanes::LaneResult r;
    r.status = status;
    r.out = l.inPlace ? l.in : Bytes(l.in.size(), smlanes::kSentinel);
    r.iv = l.iv;
    r.tag.assign((std::size_t)std::max(l.tagLen, 0), smlanes::kSentinel);
    return r;
}

} // namespace smtest

#endif
