#include "ps_parse.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool startsWith(const psString& text, const psString& prefix)
{
    return text.length() >= prefix.length() && std::memcmp(text.c_str(), prefix.c_str(), prefix.length()) == 0;
}

bool hasHexPrefix(const psString& text) { return text.length() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'); }

// Reads a 64-bit integer by the int rule with the 64-bit modifier (hexadecimal after "0x", else
// decimal; leading blanks skipped, trailing characters ignored); false when nothing was read or
// the number does not fit in 64 bits, instead of wrapping.
bool readInt64(const psString& text, long long& value)
{
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    if (hasHexPrefix(text)) {
        unsigned long long u = std::strtoull(start + 2, &end, 16);
        if (end == start + 2 || errno == ERANGE || !std::isxdigit((unsigned char)start[2])) return false;
        value = (long long)u;
        return true;
    }
    long long v = std::strtoll(start, &end, 10);
    if (end == start || errno == ERANGE) return false;
    value = v;
    return true;
}

// A 32-bit read: decimal numbers of int range, or hexadecimal ones of 32 bits (0xFFFFFFFF is -1
// as an int); anything wider is refused rather than cut to its low 32 bits.
bool readInt32(const psString& text, long long& v)
{
    if (!readInt64(text, v)) return false;
    if (hasHexPrefix(text)) return (unsigned long long)v <= UINT_MAX;
    return v >= INT_MIN && v <= (long long)UINT_MAX;
}

} // namespace

int& operator<<(int& value, const psString& text)
{
    long long v = 0;
    bool ok = readInt32(text, v) && (hasHexPrefix(text) || v <= INT_MAX);
    if (ok) value = (int)(unsigned int)v;
    text.setErrorConvertion(!ok);
    return value;
}

unsigned int& operator<<(unsigned int& value, const psString& text)
{
    long long v = 0;
    bool ok = readInt32(text, v);
    if (ok) value = (unsigned int)v;
    text.setErrorConvertion(!ok);
    return value;
}

long long& operator<<(long long& value, const psString& text)
{
    text.setErrorConvertion(!readInt64(text, value));
    return value;
}

unsigned long long& operator<<(unsigned long long& value, const psString& text)
{
    long long v;
    bool ok = readInt64(text, v);
    if (ok) value = (unsigned long long)v;
    text.setErrorConvertion(!ok);
    return value;
}

long& operator<<(long& value, const psString& text)
{
    long long v;
    bool ok = readInt64(text, v);
    if (ok) value = (long)v;
    text.setErrorConvertion(!ok);
    return value;
}

unsigned long& operator<<(unsigned long& value, const psString& text)
{
    long long v;
    bool ok = readInt64(text, v);
    if (ok) value = (unsigned long)v;
    text.setErrorConvertion(!ok);
    return value;
}

void*& operator<<(void*& value, const psString& text)
{
    long long v;
    bool ok = readInt64(text, v);
    if (ok) value = (void*)(std::uintptr_t)v;
    text.setErrorConvertion(!ok);
    return value;
}

double& operator<<(double& value, const psString& text)
{
    text.setErrorConvertion(std::sscanf(text.c_str(), "%lf", &value) != 1);
    return value;
}

float& operator<<(float& value, const psString& text)
{
    double v = value;
    v << text;
    value = (float)v;
    return value;
}

bool& operator<<(bool& value, const psString& text)
{
    psString word = text.toLower();
    word.trim();
    bool error = false;
    if (word.empty()) {
        value = false;
        error = true;
    } else if (word[0] == 'y' || word[0] == 't' || word == "1") {
        value = true;
    } else if (word[0] == 'n' || word[0] == 'f' || word == "0") {
        value = false;
    } else {
        value = false;
        error = true;
    }
    text.setErrorConvertion(error);
    return value;
}

int psParse(const psString& text, psStringList& words, const psString& separators)
{
    words.clear();
    psString word;
    for (int i = 0; i < text.length(); ++i) {
        char c = text[i];
        if (c == '"') continue;
        if (separators.find(c) != psString::npos) {
            if (!word.empty()) words.push_back(word);
            word = "";
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words.size();
}

int psString::parse(psStringList& words, const psString& separators) const { return psParse(*this, words, separators); }

int psString::parse(psString& first, psString& second, const psString& separators) const
{
    psStringList words;
    int count = psParse(*this, words, separators);
    psStringList::iterator it = words.begin();
    first = count > 0 ? *it++ : psString();
    second = count > 1 ? *it : psString();
    return count;
}

int psString::parse(psString& first, psString& second, psString& third, const psString& separators) const
{
    psStringList words;
    int count = psParse(*this, words, separators);
    psStringList::iterator it = words.begin();
    first = count > 0 ? *it++ : psString();
    second = count > 1 ? *it++ : psString();
    third = count > 2 ? *it : psString();
    return count;
}

bool fitString(const psString& input, const psString& name, int skip)
{
    if (input.empty()) return true;
    psString word = input.toLower();
    psString full = name.toLower();
    if (startsWith(full, word)) return true;
    return skip > 0 && skip <= full.length() && startsWith(full.substr(skip), word);
}

int enumValue(const psString& text, const int* values, const char* const* names, int count, int skip)
{
    for (int i = 0; i < count; ++i) {
        if (fitString(text, names[i], skip)) {
            text.setErrorConvertion(false);
            return values[i];
        }
    }
    text.setErrorConvertion(true);
    return 0;
}

psString enumString(int value, const int* values, const char* const* names, int count)
{
    for (int i = 0; i < count; ++i)
        if (values[i] == value) return names[i];
    return psString() << value;
}

int flagValue(const psString& text, const int* flags, const char* const* names, int count, int skip)
{
    psStringList words;
    psParse(text, words, "|,; ");
    int value = 0;
    bool error = false;
    for (psStringList::const_iterator word = words.begin(); word != words.end(); ++word) {
        int i = 0;
        while (i < count && !fitString(*word, names[i], skip)) ++i;
        if (i < count)
            value |= flags[i];
        else
            error = true;
    }
    text.setErrorConvertion(error);
    return value;
}

psString flagString(int value, const int* flags, const char* const* names, int count)
{
    psString text;
    for (int i = 0; i < count; ++i) {
        if (!(flags[i] & value)) continue;
        if (!text.empty()) text += '|';
        text += names[i];
    }
    return text.empty() ? psString() << value : text;
}
