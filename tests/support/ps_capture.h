// Test helpers: temporary files, capturing what the console or a csv table writes, and searching text.
#ifndef PS_TEST_CAPTURE_H
#define PS_TEST_CAPTURE_H

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "ps_ostream.h"

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A fresh empty file under $TMPDIR (or /tmp), removed again at the end of the scope.
class TempFile {
public:
    explicit TempFile(const std::string& content = "")
    {
        const char* dir = std::getenv("TMPDIR");
        m_path = std::string(dir && *dir ? dir : "/tmp") + "/ps_unit_XXXXXX";
        int fd = mkstemp(&m_path[0]);
        if (fd >= 0) close(fd);
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~TempFile() { unlink(m_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return m_path; }
    std::string read() const
    {
        std::ostringstream text;
        text << std::ifstream(m_path, std::ios::binary).rdbuf();
        return text.str();
    }

private:
    std::string m_path;
};

// While it lives, the stream (the console or a csv table) writes only to a temporary file, the
// console at the given output level; the stream's own files and output level come back afterwards.
// Tests keep the message levels they set balanced.
class StreamCapture {
public:
    StreamCapture(psOStream& console, OutputLevel level) : StreamCapture(static_cast<psFileList&>(console))
    {
        m_console = &console;
        m_savedLevel = console.getOutLevel();
        console.setOutLevel(level);
    }
    explicit StreamCapture(psFileList& stream) : m_stream(stream), m_file(m_temp.path().c_str(), openAsIs, true)
    {
        static_cast<psList<o_stream*>&>(m_stream).swap(m_savedFiles);
        m_stream.push_back(&m_file);
    }
    ~StreamCapture()
    {
        m_stream.clear();
        static_cast<psList<o_stream*>&>(m_stream).swap(m_savedFiles);
        if (m_console) m_console->setOutLevel(m_savedLevel);
    }
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    // Everything written so far.
    std::string text()
    {
        m_file.flush();
        return m_temp.read();
    }
    std::vector<std::string> lines()
    {
        std::vector<std::string> result;
        std::istringstream in(text());
        for (std::string line; std::getline(in, line);) result.push_back(line);
        return result;
    }

private:
    psFileList& m_stream;
    psOStream* m_console = nullptr;
    OutputLevel m_savedLevel = 0;
    TempFile m_temp;
    o_stream m_file;
    psList<o_stream*> m_savedFiles;
};

#endif
