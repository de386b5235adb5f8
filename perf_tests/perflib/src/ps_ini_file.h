// The ini file of parameters: sections of key=value items, read into memory, looked up, and written
// back when the file was opened for writing.
#ifndef PS_INI_FILE_H
#define PS_INI_FILE_H

#include <string>
#include <unordered_map>

#include "ps_list.h"
#include "ps_string.h"

// The value of an item that has no "=".
#define PS_INI_BARE "~~~"

struct psValueItem {
    psString key;
    psString value;
    psString comment;
};

// A list whose items are also found by name in constant time, so that files of many sections or
// keys load in linear time. The index is rebuilt when the list changed size behind its back.
template <class Item, psString Item::*Name>
class psIndexedList : public psList<Item*> {
public:
    // The first item with that exact name, or none.
    Item* exist(const psString& name)
    {
        if ((int)m_index.size() != this->size()) rebuild();
        auto found = m_index.find(std::string(name.c_str(), name.length()));
        return found == m_index.end() ? nullptr : found->second;
    }
    void add(Item* item)
    {
        this->push_back(item);
        if ((int)m_index.size() + 1 == this->size())
            m_index.emplace(std::string(((*item).*Name).c_str(), ((*item).*Name).length()), item);
    }
    void remove(typename psList<Item*>::iterator it)
    {
        m_index.clear(); // rebuilt at the next look-up
        this->erase(it);
    }

private:
    void rebuild()
    {
        m_index.clear();
        for (auto it = this->begin(); it != this->end(); ++it) {
            const psString& name = (**it).*Name;
            m_index.emplace(std::string(name.c_str(), name.length()), *it); // the first one stays
        }
    }
    std::unordered_map<std::string, Item*> m_index;
};

class psValues : public psIndexedList<psValueItem, &psValueItem::key> {
public:
    ~psValues() override;
};

struct psSectionItem {
    explicit psSectionItem(const psString& n) : name(n), values(new psValues) {}
    ~psSectionItem() { delete values; }
    psSectionItem(const psSectionItem&) = delete;
    psSectionItem& operator=(const psSectionItem&) = delete;
    psString name;
    psValues* values;
};

class psSections : public psIndexedList<psSectionItem, &psSectionItem::name> {
public:
    ~psSections() override { freeAll(); }
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
