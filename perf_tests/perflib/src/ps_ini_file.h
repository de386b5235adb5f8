// The ini file of parameters: sections of key=value items, read into memory, looked up, and written
// back when the file was opened for writing.
#ifndef PS_INI_FILE_H
#define PS_INI_FILE_H

#include "ps_list.h"
#include "ps_string.h"

// The value of an item that has no "=".
#define PS_INI_BARE "~~~"

struct psValueItem {
    psString key;
    psString value;
    psString comment;
};

class psValues : public psList<psValueItem*> {
public:
    ~psValues() override;
    psValueItem* exist(const psString& key);
};

struct psSectionItem {
    explicit psSectionItem(const psString& n) : name(n), values(new psValues) {}
    ~psSectionItem() { delete values; }
    psSectionItem(const psSectionItem&) = delete;
    psSectionItem& operator=(const psSectionItem&) = delete;
    psString name;
    psValues* values;
};

class psSections : public psList<psSectionItem*> {
public:
    ~psSections() override { freeAll(); }
    psSectionItem* exist(const psString& name);
    void freeAll();
};

class psIniFile {
public:
    psIniFile() : m_write(false) {}
    ~psIniFile() { close(); }
    psIniFile(const psIniFile&) = delete;
    psIniFile& operator=(const psIniFile&) = delete;

    bool open(psString name, bool write);
    psString read(psString section, psString key, psString defaultValue);
    void write(psString section, psString key, psString value, psString comment);
    void write(psString section, psString key) { write(section, key, PS_INI_BARE, ""); }
    void write(psString section);
    bool sectionExist(psString section) { return m_sections.exist(section) != nullptr; }
    bool valueExist(psString section, psString key);
    psValues* getSectionValues(psString section);
    void eraseSection(psString section);
    void deleteKey(psString section, psString key);
    void close();
    bool writeMode() const { return m_write; }

private:
    void readLines();
    void parseLine(psString line, psSectionItem*& current);
    void updateFile();

    psString m_name;
    psSections m_sections;
    bool m_write;
};

#endif
