#include "ps_string.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <climits>
#include <cstring>

namespace {

int bufferSizeFor(int length) { return (length + 1 + 15) / 16 * 16; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

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

} // namespace

psString::psString(const char* text) : psString()
{
    if (text) assign(text, (int)std::strlen(text));
}

psString::psString(char c) : psString()
{
    if (c) assign(&c, 1);
}

psString::psString(const char* text, int n) : psString() { assign(text, n); }

psString::psString(const psString& other) : psString()
{
    assign(other.c_str(), other.m_length);
    m_convError = other.m_convError;
}

psString::psString(psString&& other) noexcept
    : m_buffer(other.m_buffer), m_length(other.m_length), m_capacity(other.m_capacity),
      m_convError(other.m_convError)
{
    other.m_buffer = nullptr;
    other.m_length = other.m_capacity = 0;
}

psString::~psString() { std::free(m_buffer); }

psString& psString::operator=(const psString& other)
{
    if (this != &other) {
        assign(other.c_str(), other.m_length);
        m_convError = other.m_convError;
    }
    return *this;
}

psString& psString::operator=(psString&& other) noexcept
{
    if (this != &other) {
        std::free(m_buffer);
        m_buffer = other.m_buffer;
        m_length = other.m_length;
        m_capacity = other.m_capacity;
        m_convError = other.m_convError;
        other.m_buffer = nullptr;
        other.m_length = other.m_capacity = 0;
    }
    return *this;
}

psString& psString::operator=(const char* text)
{
    assign(text ? text : "", text ? (int)std::strlen(text) : 0);
    return *this;
}

char* psString::emptyBuffer()
{
    static char none[1];
    none[0] = 0;
    return none;
}

// The buffer is replaced only when the size rule gives a different size; otherwise it is cleared
// and reused.
void psString::assign(const char* text, int n)
{
    if (m_buffer && text >= m_buffer && text < m_buffer + m_capacity) {
        psString copy(text, n); // the text lives in the buffer about to be cleared
        assign(copy.c_str(), copy.m_length);
        return;
    }
    if (n <= 0 && !m_buffer) {
        m_length = 0;
        return;
    }
    if (n < 0) n = 0;
    int size = bufferSizeFor(n);
    if (size != m_capacity) {
        std::free(m_buffer);
        m_buffer = (char*)std::calloc(size, 1);
        if (!m_buffer) {
            m_length = m_capacity = 0;
            return;
        }
        m_capacity = size;
    } else {
        std::memset(m_buffer, 0, m_capacity);
    }
    std::memcpy(m_buffer, text, n);
    m_length = n;
}

psString& psString::append(const char* text, int n)
{
    if (n <= 0) return *this;
    if (n > INT_MAX - 16 - m_length) return *this; // no length beyond an int
    int size = bufferSizeFor(m_length + n);
    // Long texts grow by half their size at least, so that building one piece by piece (a long
    // line read in chunks, a report) costs linear time; short strings keep the 16-byte rule.
    if (size > m_capacity && m_capacity >= 256) {
        int ample = m_capacity <= INT_MAX / 3 * 2 ? m_capacity / 2 * 3 : INT_MAX - 15;
        if (ample > size) size = bufferSizeFor(ample);
    }
    if (size > m_capacity || (m_capacity < 256 && size != m_capacity)) {
        char* grown = (char*)std::calloc(size, 1);
        if (!grown) return *this; // cannot grow: the text stays as it was
        if (m_length) std::memcpy(grown, m_buffer, m_length);
        std::memcpy(grown + m_length, text, n); // before the free: text may be our own characters
        std::free(m_buffer);
        m_buffer = grown;
        m_capacity = size;
    } else {
        std::memmove(m_buffer + m_length, text, n);
        m_buffer[m_length + n] = 0;
    }
    m_length += n;
    return *this;
}

psString& psString::operator+=(const char* text)
{
    return text ? append(text, (int)std::strlen(text)) : *this;
}

int psString::find(const psString& text, int from) const
{
    if (from < 0) from = 0;
    if (from > m_length) return npos;
    if (text.empty()) return from;
    for (int i = from; i + text.m_length <= m_length; ++i)
        if (std::memcmp(m_buffer + i, text.m_buffer, text.m_length) == 0) return i;
    return npos;
}

int psString::find(char c, int from) const
{
    if (from < 0) from = 0;
    for (int i = from; i < m_length; ++i)
        if (m_buffer[i] == c) return i;
    return npos;
}

int psString::rfind(char c) const
{
    for (int i = m_length - 1; i >= 0; --i)
        if (m_buffer[i] == c) return i;
    return npos;
}

int psString::rfind(const psString& text) const
{
    if (text.empty()) return m_length;
    for (int i = m_length - text.m_length; i >= 0; --i)
        if (std::memcmp(m_buffer + i, text.m_buffer, text.m_length) == 0) return i;
    return npos;
}

psString psString::substr(int pos, int len) const
{
    if (pos < 0) pos = 0;
    if (pos >= m_length || len <= 0) return psString();
    if (len > m_length - pos) len = m_length - pos;
    return psString(m_buffer + pos, len);
}

psString psString::substr(int pos) const { return substr(pos, m_length - (pos < 0 ? 0 : pos)); }

void psString::resize(int n, char fill)
{
    if (n < 0) n = 0;
    if (n > m_length) {
        while (m_length < n) append(&fill, 1);
    } else if (n < m_length) {
        assign(m_buffer, n);
    }
}

int psString::compare(const psString& other) const
{
    int common = m_length < other.m_length ? m_length : other.m_length;
    for (int i = 0; i < common; ++i) {
        signed char a = (signed char)m_buffer[i];
        signed char b = (signed char)other.m_buffer[i];
        if (a != b) return a < b ? -1 : 1;
    }
    return m_length - other.m_length;
}

psString& psString::trim()
{
    int first = 0;
    int last = m_length;
    while (first < last && isBlank(m_buffer[first])) ++first;
    while (last > first && isBlank(m_buffer[last - 1])) --last;
    if (first > 0 || last < m_length) assign(m_buffer + first, last - first);
    return *this;
}

psString psString::toLower() const
{
    psString lower(*this);
    for (int i = 0; i < lower.m_length; ++i) lower.m_buffer[i] = (char)std::tolower((unsigned char)lower.m_buffer[i]);
    return lower;
}

psString psString::getFileName() const
{
    int slash = rfind('/');
    int backslash = rfind('\\');
    int sep = slash > backslash ? slash : backslash;
    return sep == npos ? *this : substr(sep + 1);
}

psString psString::getFileDir() const
{
    int slash = rfind('/');
    int backslash = rfind('\\');
    int sep = slash > backslash ? slash : backslash;
    return sep == npos ? psString() : substr(0, sep + 1);
}

psString psString::getFileTitle() const
{
    psString name = getFileName();
    int dot = name.rfind('.');
    return dot == npos ? name : name.substr(0, dot);
}

psString& psString::operator<<(int value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d", value);
    return *this += text;
}

psString& psString::operator<<(unsigned int value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u", value);
    return *this += text;
}

psString& psString::operator<<(long long value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld", value);
    return *this += text;
}

// The 64-bit format is the signed one for both signs.
psString& psString::operator<<(unsigned long long value) { return *this << (long long)value; }

psString& psString::operator<<(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3g", value);
    return *this += text;
}

psString& psString::operator<<(bool value) { return *this += value ? "yes" : "no"; }

psString& psString::operator<<(const void* pointer)
{
    if (!pointer) return *this += "NULL";
    char text[32];
    std::snprintf(text, sizeof text, "%llX", (unsigned long long)(std::uintptr_t)pointer);
    return *this += text;
}

bool operator==(const psString& a, const psString& b)
{
    return a.length() == b.length() && std::memcmp(a.c_str(), b.c_str(), a.length()) == 0;
}

bool operator==(const psString& a, const char* b)
{
    if (!b) b = "";
    return std::strlen(b) == (size_t)a.length() && std::memcmp(a.c_str(), b, a.length()) == 0;
}

bool operator==(const char* a, const psString& b) { return b == a; }

psString operator+(const psString& a, const psString& b)
{
    psString sum(a);
    return sum += b;
}

psString operator+(const psString& a, const char* b)
{
    psString sum(a);
    return sum += b;
}

psString operator+(const char* a, const psString& b)
{
    psString sum(a);
    return sum += b;
}

// A 32-bit read: decimal numbers of int range, or hexadecimal ones of 32 bits (0xFFFFFFFF is -1
// as an int); anything wider is refused rather than cut to its low 32 bits.
static bool readInt32(const psString& text, long long& v)
{
    if (!readInt64(text, v)) return false;
    if (hasHexPrefix(text)) return (unsigned long long)v <= UINT_MAX;
    return v >= INT_MIN && v <= (long long)UINT_MAX;
}

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

psStringList::iterator psStringList::find(const psString& text)
{
    iterator it = begin();
    while (it != end() && !(*it == text)) ++it;
    return it;
}

psStringList::const_iterator psStringList::find(const psString& text) const
{
    const_iterator it = begin();
    while (it != end() && !(*it == text)) ++it;
    return it;
}
