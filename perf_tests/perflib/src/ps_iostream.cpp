#include "ps_iostream.h"

#include <cstring>

#include <sys/stat.h>

#include "ps_ostream.h"
#include "ps_session.h"

PS_CONSTINIT o_stream c_out;
PS_CONSTINIT i_stream c_in;

namespace {

bool isDirectory(FILE* file)
{
    struct stat info;
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

void reportOpenFailure(const psString& name, int flags)
{
    psString direction = (flags & openRead) ? " to read" : (flags & openWrite) ? " to write" : "";
    psString text = name.empty() ? psString("-- Can't open file. Wrong filename (NULL) ")
                                 : psString("-- Can't open file ") + name;
    // The system's last-error text, always empty, would stand after ": ".
    g_ostrm << ERR << text + direction + ": " + "\n" << msgRestore;
}

} // namespace

io_stream::io_stream(psString name, int flags, bool report) : m_file(nullptr), m_standard(stdNone)
{
    bool read = (flags & openRead) != 0;
    bool write = !read && (flags & openWrite) != 0;
    if (!(flags & openAsIs)) {
        if (read)
            name = psSession::getInPath(name);
        else if (write)
            name = psSession::getOutPath(name);
    }
    if (!name.empty() && (read || write)) {
        psString mode = read ? "r" : (flags & openAppend) ? "a" : "w";
        if (flags & openBinary) mode += 'b';
        m_file = std::fopen(name.c_str(), mode.c_str());
        if (m_file && read && isDirectory(m_file)) closeFile();
    }
    if (!m_file && report) reportOpenFailure(name, flags);
}

io_stream::~io_stream() { closeFile(); }

FILE* io_stream::handle() const
{
    if (m_file) return m_file;
    if (m_standard == stdOut) return stdout;
    if (m_standard == stdIn) return stdin;
    return nullptr;
}

void io_stream::closeFile()
{
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

o_stream& o_stream::operator<<(const psString& text)
{
    FILE* file = handle();
    std::fputs(text.c_str(), file ? file : stdout);
    return *this;
}

void o_stream::flush()
{
    if (FILE* file = handle()) std::fflush(file);
}

void o_stream::close() { closeFile(); }

bool i_stream::getline(psString& line)
{
    line = "";
    FILE* file = handle();
    if (!file) return false;
    const int size = 512;
    char chunk[size];
    bool atEnd = false;
    for (;;) {
        if (!std::fgets(chunk, size, file)) {
            atEnd = true;
            break;
        }
        int n = (int)std::strlen(chunk);
        if (n > 0 && chunk[n - 1] == '\n') {
            chunk[n - 1] = 0;
            line += chunk;
            break;
        }
        line += chunk;
        if (n < size - 1) break; // the last line, without a line feed
    }
    return !line.empty() || !atEnd;
}
