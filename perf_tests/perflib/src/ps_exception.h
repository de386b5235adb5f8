// psException: the framework's own fault, carrying a message ready to print and the bare text.
#ifndef PS_EXCEPTION_H
#define PS_EXCEPTION_H

#include <cstring>
#include <exception>

#include "ps_string.h"

class psException : public std::exception {
public:
    // An internal fault: "--KYN. Exception: " + text, the text cut to 256 characters.
    explicit psException(const psString& text)
    {
        copyInfo(text.c_str(), text.length() > maxInfo ? maxInfo : text.length());
        makeMessage("--KYN. Exception: ");
    }
    // A signal text: "--KYN. Signal: " + text. A text too long to keep leaves both texts empty
    // rather than cutting a signal description in the middle.
    explicit psException(const char* text)
    {
        m_msg[0] = 0;
        m_info[0] = 0;
        if (!text) return;
        int length = (int)std::strlen(text);
        if (length > maxInfo) return;
        copyInfo(text, length);
        makeMessage("--KYN. Signal: ");
    }
    ~psException() override {}

    const char* msg() const { return m_msg; }
    const char* info() const { return m_info; }
    const char* what() const noexcept override { return m_msg; }

private:
    static const int maxInfo = 256;

    void copyInfo(const char* text, int length)
    {
        std::memcpy(m_info, text, (size_t)length);
        m_info[length] = 0;
    }
    // prefix + the information text, cut to the message buffer.
    void makeMessage(const char* prefix)
    {
        size_t n = std::strlen(prefix);
        std::memcpy(m_msg, prefix, n);
        size_t room = sizeof m_msg - 1 - n;
        size_t length = std::strlen(m_info);
        if (length > room) length = room;
        std::memcpy(m_msg + n, m_info, length);
        m_msg[n + length] = 0;
    }

    char m_msg[274];
    char m_info[262];
};

#endif
