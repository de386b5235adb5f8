#include "ps_string.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <climits>
#include <cstring>

namespace {

int bufferSizeFor(int length) { return (length + 1 + 15) / 16 * 16; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

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
