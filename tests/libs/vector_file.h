// Reader of the NIST CAVP-style vector files (.rsp, .txt, .fax) of python3-cryptography-vectors.
//
// A file is a sequence of bracketed headers ("[P-256,SHA-256]", "[mod = 2048]") and records (blocks
// of "name = value" lines separated by blank lines); '#' starts a comment line. A record carries
// the headers in force above it: consecutive headers accumulate, and the first header after a
// record starts a new group. Values are kept as text; hex() decodes them.
#ifndef PS_TESTS_VECTOR_FILE_H
#define PS_TESTS_VECTOR_FILE_H

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vectors {

using Bytes = std::vector<uint8_t>;

// Decodes a hex string ("" gives no bytes; an odd length gets a leading zero nibble).
inline Bytes fromHex(std::string hex)
{
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw std::invalid_argument(std::string("not a hex digit: ") + c);
    };
    if (hex.size() % 2) hex.insert(hex.begin(), '0');
    Bytes out(hex.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = (uint8_t)(nibble(hex[2 * i]) << 4 | nibble(hex[2 * i + 1]));
    return out;
}

struct Record {
    std::vector<std::string> headers; // texts inside the brackets, in file order
    std::map<std::string, std::string> fields;
    int line = 0; // line of the record's first field, for failure messages

    bool has(const std::string& name) const { return fields.count(name) != 0; }
    const std::string& text(const std::string& name) const
    {
        auto it = fields.find(name);
        if (it == fields.end()) throw std::out_of_range("no field '" + name + "' in record at line " + std::to_string(line));
        return it->second;
    }
    Bytes hex(const std::string& name) const { return fromHex(text(name)); }
    bool underHeader(const std::string& h) const { return std::find(headers.begin(), headers.end(), h) != headers.end(); }
};

inline std::string trimmed(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Throws std::runtime_error when the file cannot be read.
inline std::vector<Record> readFile(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read vector file " + path);
    std::vector<Record> records;
    std::vector<std::string> headers;
    bool headersClosed = false; // a record has followed the current header group
    Record current;
    auto flush = [&] {
        if (!current.fields.empty()) current.headers = headers, records.push_back(current), headersClosed = true;
        current = Record();
    };
    std::string raw;
    for (int lineNo = 1; std::getline(in, raw); ++lineNo) {
        std::string line = trimmed(raw);
        if (line.empty() || (line.front() == '[' && line.back() == ']')) flush();
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            if (headersClosed) headers.clear(), headersClosed = false;
            headers.push_back(trimmed(line.substr(1, line.size() - 2)));
            continue;
        }
        size_t eq = line.find('=');
        if (current.fields.empty()) current.line = lineNo;
        current.fields[trimmed(line.substr(0, eq))] = eq == std::string::npos ? std::string() : trimmed(line.substr(eq + 1));
    }
    flush();
    return records;
}

#ifdef PS_VECTOR_DIR
// A file of the vector package, by its path below the package directory.
inline std::string path(const std::string& relative) { return std::string(PS_VECTOR_DIR) + "/" + relative; }
#endif

} // namespace vectors

#endif
