// Reader of the NIST CAVP-style vector files (.rsp, .txt, .fax) of python3-cryptography-vectors:
// bracketed headers ("[mod = 2048]") and records (blocks of "name = value" lines between blank
// lines), '#' comment lines. A record carries the headers above it: consecutive headers accumulate,
// the first header after a record starts a new group. Values stay text; hex() decodes them.
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
    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw std::invalid_argument("not a hex string: " + hex);
    if (hex.size() % 2) hex.insert(hex.begin(), '0');
    Bytes out(hex.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = (uint8_t)std::stoul(hex.substr(2 * i, 2), nullptr, 16);
    return out;
}

struct Record {
    std::vector<std::string> headers; // texts inside the brackets, in file order
    std::map<std::string, std::string> fields;
    int line = 0; // line of the record's first field, for failure messages

    bool has(const std::string& name) const { return fields.count(name) != 0; }
    const std::string& text(const std::string& name) const
    {
        if (!has(name)) throw std::out_of_range("no field '" + name + "' in record at line " + std::to_string(line));
        return fields.at(name);
    }
    Bytes hex(const std::string& name) const { return fromHex(text(name)); }
    bool underHeader(const std::string& h) const { return std::count(headers.begin(), headers.end(), h) != 0; }
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
    std::string raw;
    for (int lineNo = 1;; ++lineNo) {
        const bool more = (bool)std::getline(in, raw);
        const std::string line = more ? trimmed(raw) : "";
        const bool header = line.size() > 1 && line.front() == '[' && line.back() == ']';
        if ((line.empty() || header) && !current.fields.empty()) {
            current.headers = headers, headersClosed = true;
            records.push_back(std::move(current)), current = Record();
        }
        if (!more) return records;
        if (header && headersClosed) headers.clear(), headersClosed = false;
        if (header) headers.push_back(trimmed(line.substr(1, line.size() - 2)));
        if (line.empty() || line[0] == '#' || header) continue;
        const size_t eq = line.find('=');
        if (current.fields.empty()) current.line = lineNo;
        current.fields[trimmed(line.substr(0, eq))] = eq == std::string::npos ? "" : trimmed(line.substr(eq + 1));
    }
}

#ifdef PS_VECTOR_DIR
// A file of the vector package, by its path below the package directory.
inline std::string path(const std::string& relative) { return std::string(PS_VECTOR_DIR) + "/" + relative; }
#endif

} // namespace vectors

#endif
