// The csv table streams: one line at a time assembled in 32 cells and written to every attached file;
// lines may be postponed, and the lines of one test watched for identical parameter columns.
#ifndef PS_CSTREAM_H
#define PS_CSTREAM_H

#include "ps_iostream.h"
#include "ps_list.h"
#include "ps_ostream.h"
#include "ps_string.h"

class psCStream : public psFileList {
public:
    static const int maxColumns = 32;

    psCStream() : m_colmIndex(0), m_lineCount(0), m_keyColumns(0) {}

    void setColm(int i, const psString& s);
    void setNextColm(const psString& s);
    bool getColm(int i, psString& s) const;
    int getColmIndex() const { return m_colmIndex; }
    void setColmIndex(int i);
    int getLineCount() const { return m_lineCount; }

    // "\n" alone ends the line; any other text fills the next cell.
    psCStream& operator<<(const psString& text);
    psCStream& operator<<(const char* text) { return *this << psString(text); }

    void lineOut(int n);
    void tableOut(int n);
    void tableFlush();
    void linePostpone();
    void linePostponeOut(int n);
    void identicalLinesStart(int n);
    bool identicalLinesStop();

private:
    static void storeLine(psStringList (&store)[maxColumns], const psString (&cells)[maxColumns]);

    psString m_cells[maxColumns];
    int m_colmIndex;
    int m_lineCount;
    int m_keyColumns;
    psStringList m_watch[maxColumns];
    psStringList m_postponed[maxColumns];
};

// The summary table stream: never filtered.
class psUStream : public psOStream {
public:
    constexpr psUStream() : psOStream(ERR, ERR) {}
};

extern psCStream g_cstrm; // result table (-r, -R)
extern psCStream g_qstrm; // parameter-name table (-q)
extern psCStream g_mstrm; // never written
extern psUStream g_ustrm; // summary table (-u, -U)

#endif
