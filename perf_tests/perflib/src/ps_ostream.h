// psOStream: the message stream that copies text to several files, filtered by level; g_ostrm.
#ifndef PS_OSTREAM_H
#define PS_OSTREAM_H

#include "ps_iostream.h"
#include "ps_list.h"
#include "ps_string.h"

// One bit per kind of message. An output level is an OR of these bits; a message prints when its
// level shares a bit with the output level. msgRestore and msgRestoreFlush are commands: inserted
// into a stream they end the current message (and flush).
enum MessageLevel {
    ERR = 1,
    WARN = 2,
    PERF = 4,
    INFO = 8,
    TRACE = 16,
    MEM = 32,
    DATA = 64,
    msgRestore = -10,
    msgRestoreFlush = -11,
};
typedef int OutputLevel;

// The files a stream writes to, in the order attached (the console first). Files attached from
// outside are not owned; the files addStream opened are deleted with the list, which closes each
// of them once.
class psFileList : public psList<o_stream*> {
public:
    constexpr psFileList() {}
    ~psFileList() override;
    psFileList(const psFileList&) = delete;
    psFileList& operator=(const psFileList&) = delete;

    // Opens name exactly as given (appending when asked) and attaches it; false, after the
    // "-- Can't open file" message, when it cannot be opened.
    bool addStream(psString name, bool append);
    void flush();
    void close();
    // Closes the files addStream opened and takes them off the list: each complete file replaces
    // the one of its name; a file with a write error leaves the old one as it was.
    void closeFiles();

private:
    psList<o_stream*> m_opened;
};

class psOStream : public psFileList {
public:
    constexpr psOStream() : psOStream(ERR, PERF) {}

    void setOutLevel(OutputLevel level) { m_outLevel = level; }
    OutputLevel getOutLevel() const { return m_outLevel; }
    MessageLevel getMsgLevel() const { return m_msgLevel; }
    // Pushes the current message level and makes level current.
    void setMsgLevel(MessageLevel level);
    // Pops the newest saved level; with none saved the level becomes ERR.
    void restoreMsgLevel();
    // Accepts level (and sets it) unless it is numerically above the output level; each accepted
    // beginMessage is closed by endMessage or endMessageFlush.
    bool beginMessage(MessageLevel level);
    void endMessage() { restoreMsgLevel(); }
    void endMessageFlush();
    bool denyLevel() const { return (m_msgLevel & m_outLevel) == 0; }

    psOStream& operator<<(MessageLevel level);
    psOStream& operator<<(const psString& text);
    psOStream& operator<<(const char* text);
    psOStream& operator<<(char c);
    psOStream& operator<<(int value);
    psOStream& operator<<(unsigned int value);
    psOStream& operator<<(long value);
    psOStream& operator<<(unsigned long value);
    psOStream& operator<<(long long value);
    psOStream& operator<<(unsigned long long value);
    psOStream& operator<<(double value);

protected:
    constexpr psOStream(OutputLevel outLevel, MessageLevel msgLevel) : m_outLevel(outLevel), m_msgLevel(msgLevel) {}

    OutputLevel m_outLevel;
    MessageLevel m_msgLevel;
    psList<MessageLevel> m_savedLevels; // newest first

private:
    // Values are formatted by the string's appending rules; denied text is not even formatted.
    template <class T>
    psOStream& format(T value)
    {
        if (denyLevel()) return *this;
        psString text;
        text << value;
        return *this << text;
    }
};

// The console text, copied to the text files of keys -o/-O. Constant-initialised.
extern psOStream g_ostrm;

#endif
