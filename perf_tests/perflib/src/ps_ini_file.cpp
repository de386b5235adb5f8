#include "ps_ini_file.h"

#include <cstdio>
#include <string>

#include "ps_iostream.h"

psValues::~psValues()
{
    for (iterator it = begin(); it != end(); ++it) delete *it;
}

void psSections::freeAll()
{
    for (iterator it = begin(); it != end(); ++it) delete *it;
    clear();
}

bool psIniFile::open(psString name, bool write)
{
    close();
    m_write = write;
    m_name = name;
    {
        // Only a file that is read is reported missing; in write mode it is made below.
        i_stream probe(name, openAsIs, !write);
        if (!probe) {
            if (!write) return false;
            o_stream created(name, openAsIs | openReplace, true);
            if (!created) {
                m_write = false;
                return false;
            }
            return true;
        }
    }
    readLines();
    return true;
}

void psIniFile::readLines()
{
    std::FILE* file = std::fopen(m_name.c_str(), "r");
    if (!file) return;
    psSectionItem* current = nullptr;
    // A NUL byte ends the text of its line, as it would in any C string, and the rest of that
    // line is dropped rather than read as a line of its own.
    std::string line;
    bool cut = false;
    for (int c = std::getc(file);; c = std::getc(file)) {
        if (c == EOF || c == '\n') {
            if (c == '\n' || !line.empty() || cut) parseLine(line.c_str(), current);
            if (c == EOF) break;
            line.clear();
            cut = false;
        } else if (c == 0) {
            cut = true;
        } else if (!cut) {
            line += (char)c;
        }
    }
    std::fclose(file);
}

void psIniFile::parseLine(psString line, psSectionItem*& current)
{
    int comment = line.find("//", 0);
    if (comment != psString::npos) line = line.substr(0, comment);
    line.trim();
    if (line.empty()) return;
    int open = line.find('[', 0);
    int close = open == psString::npos ? psString::npos : line.find(']', open + 1);
    if (close != psString::npos) {
        psString name = line.substr(open + 1, close - open - 1);
        name.trim();
        current = m_sections.exist(name);
        if (!current) {
            current = new psSectionItem(name);
            m_sections.add(current);
        }
        return;
    }
    if (!current) return;
    psString key = line, value = PS_INI_BARE;
    int eq = line.find('=', 0);
    if (eq != psString::npos) {
        key = line.substr(0, eq);
        value = line.substr(eq + 1);
        key.trim();
        value.trim();
    }
    psValueItem* item = current->values->exist(key);
    if (item) {
        item->value = value;
    } else {
        item = new psValueItem{key, value, ""};
        current->values->add(item);
    }
}

psString psIniFile::read(psString section, psString key, psString defaultValue)
{
    key.trim();
    psSectionItem* s = m_sections.exist(section);
    psValueItem* item = s ? s->values->exist(key) : nullptr;
    return item ? item->value : defaultValue;
}

void psIniFile::write(psString section)
{
    if (!m_sections.exist(section)) m_sections.add(new psSectionItem(section));
}

void psIniFile::write(psString section, psString key, psString value, psString comment)
{
    write(section);
    key.trim();
    if (key.empty()) return;
    psValues* values = m_sections.exist(section)->values;
    psValueItem* item = values->exist(key);
    if (item)
        item->value = value;
    else
        values->add(new psValueItem{key, value, comment});
}

bool psIniFile::valueExist(psString section, psString key)
{
    psSectionItem* s = m_sections.exist(section);
    return s && s->values->exist(key);
}

psValues* psIniFile::getSectionValues(psString section)
{
    psSectionItem* s = m_sections.exist(section);
    return s ? s->values : nullptr;
}

void psIniFile::eraseSection(psString section)
{
    for (psSections::iterator it = m_sections.begin(); it != m_sections.end(); ++it) {
        if ((*it)->name == section) {
            delete *it;
            m_sections.remove(it);
            return;
        }
    }
}

void psIniFile::deleteKey(psString section, psString key)
{
    psValues* values = getSectionValues(section);
    if (!values) return;
    for (psValues::iterator it = values->begin(); it != values->end(); ++it) {
        if ((*it)->key == key) {
            delete *it;
            values->remove(it);
            return;
        }
    }
}

void psIniFile::updateFile()
{
    if (!m_write) return;
    o_stream out(m_name, openAsIs | openReplace, true);
    if (!out) return;
    for (psSections::iterator s = m_sections.begin(); s != m_sections.end(); ++s) {
        out << psString("\n[") + (*s)->name + "]\n";
        for (psValues::iterator it = (*s)->values->begin(); it != (*s)->values->end(); ++it) {
            psValueItem* item = *it;
            psString line = item->key;
            if (!(item->value == PS_INI_BARE)) {
                line += psString("=") + item->value;
                if (!item->comment.empty()) line += psString("\t// ") + item->comment;
            }
            out << line + "\n";
        }
    }
    out.flush();
}

void psIniFile::close()
{
    updateFile();
    m_sections.freeAll();
    m_write = false;
}
