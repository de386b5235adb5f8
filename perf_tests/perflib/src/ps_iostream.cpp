#include "ps_iostream.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ps_paths.h"

PS_CONSTINIT o_stream c_out;
PS_CONSTINIT i_stream c_in;

namespace {

psIoReporter s_reporter = nullptr;

void reportError(const psString& text)
{
    if (s_reporter) s_reporter(text);
}

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
    reportError(text + direction + ": " + "\n");
}

// The temporary files this process holds locked: a name given twice in one run is opened twice,
// the second time in place on the same temporary file.
std::set<std::string>& ownTempFiles()
{
    static std::set<std::string> names;
    return names;
}

void reportBusy(const psString& name)
{
    reportError("-- Can't write file " + name + ": it is being written by another run\n");
}

// Copies the current content of name (if any) to the end of out; false on a read or write error.
bool copyContent(const psString& name, FILE* out)
{
    FILE* in = std::fopen(name.c_str(), "rb");
    if (!in) return errno == ENOENT;
    char buffer[65536];
    bool good = true;
    std::size_t n;
    while (good && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) good = std::fwrite(buffer, 1, n, out) == n;
    good = good && !std::ferror(in);
    std::fclose(in);
    return good;
}
} // namespace

void psSetIoReporter(psIoReporter reporter) { s_reporter = reporter; }

bool io_stream::openReplacing(const psString& name, bool append, bool& busy)
{
    psString target = name;
    struct stat info;
    if (lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // The link stays; the file it points to is replaced.
        if (char* real = realpath(name.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    bool existed = stat(target.c_str(), &info) == 0;
    if (existed && !S_ISREG(info.st_mode)) {
        // A device, a pipe or a directory is written in place (or fails to open as before).
        m_file = std::fopen(target.c_str(), append ? "a" : "w");
        m_name = name;
        return m_file != nullptr;
    }
    psString temp = target + ".tmp";
    if (ownTempFiles().count(temp.c_str())) {
        int again = open(temp.c_str(), O_WRONLY | O_CLOEXEC);
        m_file = again < 0 ? nullptr : fdopen(again, append ? "a" : "w");
        if (!m_file && again >= 0) close(again);
        m_name = target;
        return m_file != nullptr;
    }
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    // The lock lives as long as the file stays open. A temporary file whose lock was released by a
    // finished run has been renamed already: the name must still lead to the locked file.
    struct stat locked, named;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &locked) != 0 || stat(temp.c_str(), &named) != 0 ||
        locked.st_ino != named.st_ino || locked.st_dev != named.st_dev) {
        close(fd);
        busy = true;
        return false;
    }
    if (ftruncate(fd, 0) != 0 || !(m_file = fdopen(fd, "w"))) {
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    if (existed) fchmod(fd, info.st_mode & 07777); // the new file keeps the old one's permissions
    m_name = target;
    m_tempName = temp;
    ownTempFiles().insert(temp.c_str());
    // Appending keeps the earlier runs' lines: they are copied first, and the old file stays
    // whole until the new one replaces it.
    if (append && !copyContent(target, m_file)) writeFailed(errno);
    return true;
}

io_stream::io_stream(psString name, int flags, bool report)
    : m_file(nullptr), m_standard(stdNone), m_failed(false)
{
    bool read = (flags & openRead) != 0;
    bool write = !read && (flags & openWrite) != 0;
    if (!(flags & openAsIs)) {
        if (read)
            name = psPaths::getInPath(name);
        else if (write)
            name = psPaths::getOutPath(name);
    }
    bool busy = false;
    if (!name.empty() && write && (flags & openReplace)) {
        openReplacing(name, (flags & openAppend) != 0, busy);
    } else if (!name.empty() && (read || write)) {
        psString mode = read ? "r" : (flags & openAppend) ? "a" : "w";
        if (flags & openBinary) mode += 'b';
        m_file = std::fopen(name.c_str(), mode.c_str());
        m_name = name;
        if (m_file && read && isDirectory(m_file)) closeFile();
    }
    if (!m_file && report) {
        if (busy)
            reportBusy(name);
        else
            reportOpenFailure(name, flags);
    }
}

io_stream::~io_stream() { closeFile(); }

FILE* io_stream::handle() const
{
    if (m_file) return m_file;
    if (m_standard == stdOut) return stdout;
    if (m_standard == stdIn) return stdin;
    return nullptr;
}

void io_stream::writeFailed(int error)
{
    if (m_failed) return;
    m_failed = true; // first, so that the report below skips this file
    psString name = m_standard == stdOut && !m_file ? psString("standard output") : m_name;
    reportError("-- Can't write file " + name + ": " + std::strerror(error) + "\n");
}

void io_stream::closeFile()
{
    if (!m_file) return;
    FILE* file = m_file;
    m_file = nullptr;
    if (m_tempName.empty()) {
        if (std::fclose(file) != 0 && !m_failed && m_standard == stdNone) writeFailed(errno);
        return;
    }
    // Renamed while the lock is still held, so no other run can take the temporary file between.
    bool good = !m_failed && std::fflush(file) == 0 && !std::ferror(file);
    int error = errno;
    if (good && std::rename(m_tempName.c_str(), m_name.c_str()) != 0) {
        good = false;
        error = errno;
    }
    if (!good) unlink(m_tempName.c_str());
    ownTempFiles().erase(m_tempName.c_str());
    if (std::fclose(file) != 0 && good) {
        good = false;
        error = errno;
    }
    if (!good && !m_failed) writeFailed(error ? error : EIO);
    m_tempName = "";
}

o_stream& o_stream::operator<<(const psString& text)
{
    if (m_failed) return *this;
    FILE* file = handle();
    if (std::fputs(text.c_str(), file ? file : stdout) == EOF) writeFailed(errno);
    return *this;
}

void o_stream::flush()
{
    if (m_failed) return;
    if (FILE* file = handle())
        if (std::fflush(file) != 0) writeFailed(errno);
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
