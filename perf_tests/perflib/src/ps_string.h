// psString: the one string type of the system (storage, search, appending values, file-name parts)
// and the list of strings. Reading values out of a text, splitting and name matching: ps_parse.
#ifndef PS_STRING_H
#define PS_STRING_H

#include "ps_list.h"

class psStringList;

// Characters live in a zero-filled buffer of (length + 1) rounded up to a multiple of 16 bytes;
// a string that never held a character has no buffer at all.
//
// The conversion-error flag is mutable: reading a value out of a text (value << text, enumValue,
// flagValue) reports failure on the text itself, and the text is usually a const reference or a
// temporary. Only conversions change the flag; a copy carries the flag of its source.
class psString {
public:
    static constexpr int npos = -1;

    constexpr psString() : m_buffer(nullptr), m_length(0), m_capacity(0), m_convError(false) {}
    psString(const char* text);
    // One character; the NUL character gives the empty string.
    explicit psString(char c);
    psString(const psString& other);
    psString(psString&& other) noexcept;
    virtual ~psString();

    psString& operator=(const psString& other);
    psString& operator=(psString&& other) noexcept;
    psString& operator=(const char* text);

    // Never null: an empty string gives "".
    const char* c_str() const { return m_buffer ? m_buffer : ""; }
    // The writable characters; callers write only inside 0 .. length-1.
    char* data() { return m_buffer ? m_buffer : emptyBuffer(); }
    explicit operator char*() { return data(); }

    int length() const { return m_length; }
    bool empty() const { return m_length == 0; }
    int capacity() const { return m_capacity; }

    // No bounds checks.
    char& operator[](int i) { return m_buffer[i]; }
    char operator[](int i) const { return m_buffer[i]; }
    char& at(int i) { return m_buffer[i]; }
    char at(int i) const { return m_buffer[i]; }

    // Positions are ints; a failed search gives npos (-1). The empty text is found at `from`
    // when from is inside 0 .. length.
    int find(const psString& text, int from = 0) const;
    int find(char c, int from = 0) const;
    int rfind(char c) const;
    int rfind(const psString& text) const;
    bool found(const psString& text) const { return find(text, 0) != npos; }

    // len is clamped to what is left after pos; len <= 0 or pos beyond the end gives "".
    psString substr(int pos, int len) const;
    psString substr(int pos) const;
    void resize(int n, char fill = ' ');

    // At the first differing character (as signed char) -1 or 1; when one is a prefix of the
    // other, this length minus the other's.
    int compare(const psString& other) const;

    // Removes leading and trailing spaces, tabs and carriage returns, in place.
    psString& trim();
    psString toLower() const;

    // After the last '/' or '\'; up to and including it; the name without its last extension.
    psString getFileName() const;
    psString getFileDir() const;
    psString getFileTitle() const;

    // Appending: int as "%d", 64-bit integers as signed "%Ld", doubles as "%.3g", bools as "yes"/"no",
    // pointers as "%LX" or "NULL".
    psString& operator+=(const psString& text) { return append(text.c_str(), text.m_length); }
    psString& operator+=(const char* text);
    psString& operator+=(char c) { return append(&c, 1); }
    psString& operator<<(const psString& text) { return *this += text; }
    psString& operator<<(const char* text) { return *this += text; }
    psString& operator<<(char c) { return *this += c; }
    psString& operator<<(int value);
    psString& operator<<(unsigned int value);
    psString& operator<<(long value) { return *this << (long long)value; }
    psString& operator<<(unsigned long value) { return *this << (unsigned long long)value; }
    psString& operator<<(long long value);
    psString& operator<<(unsigned long long value);
    psString& operator<<(double value);
    psString& operator<<(float value) { return *this << (double)value; }
    psString& operator<<(bool value);
    psString& operator<<(const void* pointer);

    // The length modifier of 64-bit conversions.
    static const char* prefixI64() { return "L"; }

    bool errorConvertion() const { return m_convError; }
    void setErrorConvertion(bool error) const { m_convError = error; }

    // Splits into words at any character of separators, after removing every double quote; runs
    // of separators give no empty words. Returns the number of words. Defined with the other
    // text reading, in ps_parse.cpp.
    int parse(psStringList& words, const psString& separators) const;
    int parse(psString& first, psString& second, const psString& separators) const;
    int parse(psString& first, psString& second, psString& third, const psString& separators) const;

private:
    psString(const char* text, int n);
    void assign(const char* text, int n);
    psString& append(const char* text, int n);
    static char* emptyBuffer();

    char* m_buffer;
    int m_length;
    int m_capacity;
    mutable bool m_convError;
};

bool operator==(const psString& a, const psString& b);
bool operator==(const psString& a, const char* b);
bool operator==(const char* a, const psString& b);
inline bool operator!=(const psString& a, const psString& b) { return !(a == b); }
inline bool operator!=(const psString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const psString& b) { return !(a == b); }

psString operator+(const psString& a, const psString& b);
psString operator+(const psString& a, const char* b);
psString operator+(const char* a, const psString& b);

class psStringList : public psList<psString> {
public:
    // The first element equal to text (exact, case-sensitive), or end().
    iterator find(const psString& text);
    const_iterator find(const psString& text) const;
    bool found(const psString& text) const { return find(text) != end(); }
};

#endif
