// Descriptions of the host for the reports: the operating system and the host name.
#ifndef PS_PLATFORM_H
#define PS_PLATFORM_H

#include <cstddef>

// Writes "<system> (<release>, <machine>)", e.g. "Linux (6.1.0, x86_64)", into the caller's
// buffer, cut to its size.
class psOS {
public:
    psOS(char* buffer, size_t size);
    const char* text() const { return m_text; }

private:
    const char* m_text;
};

// Writes the host name into the caller's buffer, which holds bufferSize characters unless a
// size is given.
class psHost {
public:
    static const size_t bufferSize = 1024;
    explicit psHost(char* buffer, size_t size = bufferSize);
    const char* text() const { return m_text; }

private:
    const char* m_text;
};

#endif
