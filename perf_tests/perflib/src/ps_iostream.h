// io_stream, o_stream, i_stream: thin owners of one C file, and the console objects c_out and c_in.
#ifndef PS_IOSTREAM_H
#define PS_IOSTREAM_H

#include <cstdio>

#include "ps_string.h"

// Marks a process-wide object that must be constant-initialised: such an object is ready before
// any static initialiser runs, so tests registering themselves from other sources may print.
#if defined(__clang__)
#define PS_CONSTINIT [[clang::require_constant_initialization]]
#elif defined(__GNUC__) && __GNUC__ >= 10
#define PS_CONSTINIT __constinit
#else
#define PS_CONSTINIT
#endif

// Open flags of io_stream.
enum psOpenFlag {
    openRead = 0x1,    // mode "r"; the name is resolved as an input path
    openWrite = 0x2,   // mode "w"; the name is resolved as an output path
    openAppend = 0x4,  // with openWrite: mode "a"
    openBinary = 0x8,  // "b" added to the mode
    openAsIs = 0x100,  // the name is used exactly as given
    openReplace = 0x200, // with openWrite: written under "<name>.tmp" and renamed over the name
                         // when closed complete; a file being written by another run is refused
};

// Where io_stream reports a file that does not open or a write that fails: one complete message
// line of level ERR. The message stream installs its own before main; without one the report is
// dropped.
typedef void (*psIoReporter)(const psString& text);
void psSetIoReporter(psIoReporter reporter);

class io_stream {
public:
    // Resolves the name (unless openAsIs), opens it when not empty and, if nothing opened and
    // report is set, prints "-- Can't open file ..." at level ERR. A directory never opens, also
    // for reading, where the C library would accept it.
    io_stream(psString name, int flags, bool report);
    virtual ~io_stream();
    io_stream(const io_stream&) = delete;
    io_stream& operator=(const io_stream&) = delete;

    // True when a file is open or a standard stream is attached.
    explicit operator bool() const { return m_file || m_standard != stdNone; }
    // True after a write, flush or close of this file failed (reported once, when it happened).
    bool failed() const { return m_failed; }

protected:
    enum Standard { stdNone, stdOut, stdIn };
    // The standard streams are looked up at each use (stdout is not a constant), which keeps the
    // constructor constexpr. They are never closed by the program.
    constexpr explicit io_stream(Standard standard)
        : m_file(nullptr), m_standard(standard), m_failed(false)
    {
    }
    FILE* handle() const;
    // Closes the file; a file written under a temporary name replaces the real one only when
    // every write, the flush and the close succeeded, and is removed otherwise.
    void closeFile();
    // Records a failed write, flush or close and prints "-- Can't write file <name>: <reason>".
    void writeFailed(int error);

    FILE* m_file; // owned
    Standard m_standard;
    bool m_failed;
    psString m_name;     // the file as opened
    psString m_tempName; // where it is written until complete; empty when written in place

private:
    // The openReplace way of opening: false when the file could not be opened (busy is set when
    // another run writes it); a target that is not a regular file is opened in place instead.
    bool openReplacing(const psString& name, bool append, bool& busy);
};

class o_stream : public io_stream {
public:
    // Standard output.
    constexpr o_stream() : io_stream(stdOut) {}
    o_stream(psString name, int flags, bool report) : io_stream(name, flags | openWrite, report) {}

    // Without a file the text goes to standard output. After a failure nothing more is written.
    o_stream& operator<<(const psString& text);
    void flush();
    void close();
};

class i_stream : public io_stream {
public:
    // Standard input.
    constexpr i_stream() : io_stream(stdIn) {}
    i_stream(psString name, bool report) : io_stream(name, openRead, report) {}
    i_stream(psString name, int flags, bool report) : io_stream(name, flags | openRead, report) {}

    // Reads one line of any length without its line feed (a carriage return before it stays).
    // False only at end of file with nothing read, or without a file.
    bool getline(psString& line);
};

extern o_stream c_out;
extern i_stream c_in;

#endif
