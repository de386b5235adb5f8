#include "ps_cstream.h"

psCStream g_cstrm;
psCStream g_qstrm;
psCStream g_mstrm;
psUStream g_ustrm;

void psCStream::setColm(int i, const psString& s)
{
    if (i >= 0 && i < maxColumns) m_cells[i] = s;
}

void psCStream::setNextColm(const psString& s)
{
    if (m_colmIndex < maxColumns) m_cells[m_colmIndex++] = s;
}

bool psCStream::getColm(int i, psString& s) const
{
    if (i < 0 || i >= maxColumns) return false;
    s = m_cells[i];
    return true;
}

void psCStream::setColmIndex(int i)
{
    if (i >= 0) m_colmIndex = i;
}

psCStream& psCStream::operator<<(const psString& text)
{
    if (text == "\n")
        lineOut(0);
    else
        setNextColm(text);
    return *this;
}

void psCStream::tableOut(int n)
{
    if (n == 0) n = m_colmIndex;
    psString line;
    for (int i = 0; i < n; ++i) {
        if (i > 0) line += ",";
        bool set = i < m_colmIndex && i < maxColumns && !m_cells[i].empty();
        line += set ? m_cells[i] : psString("-");
    }
    line += "\n";
    for (iterator it = begin(); it != end(); ++it) {
        **it << line;
        (*it)->flush();
    }
}

void psCStream::storeLine(psStringList (&store)[maxColumns], const psString (&cells)[maxColumns])
{
    for (int c = 0; c < maxColumns; ++c) store[c].push_back(cells[c]);
}

void psCStream::lineOut(int n)
{
    tableOut(n);
    ++m_lineCount;
    if (m_keyColumns != 0) storeLine(m_watch, m_cells);
    tableFlush();
}

void psCStream::tableFlush()
{
    for (psString& cell : m_cells) cell = "";
    m_colmIndex = 0;
}

void psCStream::linePostpone()
{
    storeLine(m_postponed, m_cells);
    tableFlush();
}

void psCStream::linePostponeOut(int n)
{
    int lines = m_postponed[0].size();
    psStringList::iterator cell[maxColumns];
    for (int c = 0; c < maxColumns; ++c) cell[c] = m_postponed[c].begin();
    for (int k = 0; k < lines; ++k) {
        for (int c = 0; c < maxColumns; ++c) m_cells[c] = *cell[c]++;
        m_colmIndex = n;
        lineOut(n);
    }
    for (psStringList& column : m_postponed) column.clear();
}

void psCStream::identicalLinesStart(int n)
{
    m_keyColumns = n > maxColumns ? maxColumns : n;
    for (psStringList& column : m_watch) column.clear();
}

bool psCStream::identicalLinesStop()
{
    int watched = m_watch[0].size();
    bool found = false;
    if (m_keyColumns != 0 && watched > 0) {
        // The cells of every watched line, to compare pairs.
        psList<psStringList> lines;
        psStringList::iterator cell[maxColumns];
        for (int c = 0; c < m_keyColumns; ++c) cell[c] = m_watch[c].begin();
        for (int k = 0; k < watched; ++k) {
            psStringList line;
            for (int c = 0; c < m_keyColumns; ++c) line.push_back(*cell[c]++);
            lines.push_back(line);
        }
        int first = m_lineCount - watched + 1;
        int i = 0;
        for (psList<psStringList>::iterator a = lines.begin(); a != lines.end() && !found; ++a, ++i) {
            psList<psStringList>::iterator b = a;
            int j = i + 1;
            for (++b; b != lines.end(); ++b, ++j) {
                bool same = true;
                psStringList::iterator x = a->begin(), y = b->begin();
                for (; x != a->end(); ++x, ++y)
                    if (!(*x == *y)) {
                        same = false;
                        break;
                    }
                if (!same) continue;
                g_ostrm << WARN << " Performance table note:\n"
                        << " Lines " << first + i << " & " << first + j << " have identical parameters\n"
                        << msgRestoreFlush;
                found = true;
                break;
            }
        }
    }
    m_keyColumns = 0;
    for (psStringList& column : m_watch) column.clear();
    return found;
}
