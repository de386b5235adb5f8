#include "ps_ostream.h"

PS_CONSTINIT psOStream g_ostrm;

namespace {
// A file that does not open or fails to be written is an error message of the console and the
// text files.
void reportFileError(const psString& text) { g_ostrm << ERR << text << msgRestore; }
[[maybe_unused]] const bool s_fileErrors = (psSetIoReporter(reportFileError), true);
} // namespace

psFileList::~psFileList()
{
    for (iterator it = m_opened.begin(); it != m_opened.end(); ++it) delete *it;
}

bool psFileList::addStream(psString name, bool append)
{
    o_stream* file = new o_stream(name, openAsIs | openReplace | (append ? openAppend : 0), true);
    if (!*file) {
        delete file;
        return false;
    }
    push_back(file);
    m_opened.push_back(file);
    return true;
}

void psOStream::setMsgLevel(MessageLevel level)
{
    m_savedLevels.push_front(m_msgLevel);
    m_msgLevel = level;
}

void psOStream::restoreMsgLevel()
{
    if (m_savedLevels.empty()) {
        m_msgLevel = ERR;
        return;
    }
    m_msgLevel = m_savedLevels.front();
    m_savedLevels.pop_front();
}

bool psOStream::beginMessage(MessageLevel level)
{
    if ((int)level > m_outLevel) return false;
    setMsgLevel(level);
    return true;
}

void psOStream::endMessageFlush()
{
    restoreMsgLevel();
    flush();
}

void psFileList::closeFiles()
{
    for (iterator it = m_opened.begin(); it != m_opened.end(); ++it) {
        for (iterator at = begin(); at != end(); ++at) {
            if (*at == *it) {
                erase(at);
                break;
            }
        }
        delete *it;
    }
    m_opened.clear();
}

void psFileList::flush()
{
    for (iterator it = begin(); it != end(); ++it) (*it)->flush();
}

void psFileList::close()
{
    for (iterator it = begin(); it != end(); ++it) (*it)->close();
}

psOStream& psOStream::operator<<(MessageLevel level)
{
    if (level == msgRestore) {
        restoreMsgLevel();
    } else if (level == msgRestoreFlush) {
        restoreMsgLevel();
        flush();
    } else {
        setMsgLevel(level);
    }
    return *this;
}

psOStream& psOStream::operator<<(const psString& text)
{
    if (denyLevel()) return *this;
    for (iterator it = begin(); it != end(); ++it) **it << text;
    return *this;
}

psOStream& psOStream::operator<<(const char* text) { return format(text); }
psOStream& psOStream::operator<<(char c) { return format(c); }
psOStream& psOStream::operator<<(int value) { return format(value); }
psOStream& psOStream::operator<<(unsigned int value) { return format(value); }
psOStream& psOStream::operator<<(long value) { return format(value); }
psOStream& psOStream::operator<<(unsigned long value) { return format(value); }
psOStream& psOStream::operator<<(long long value) { return format(value); }
psOStream& psOStream::operator<<(unsigned long long value) { return format(value); }
psOStream& psOStream::operator<<(double value) { return format(value); }
