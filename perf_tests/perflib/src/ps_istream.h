// psIStream: where a parameter's value comes from (-d data, ini file, console, default); g_istrm.
#ifndef PS_ISTREAM_H
#define PS_ISTREAM_H

#include <string>
#include <unordered_map>

#include "ps_iostream.h"
#include "ps_list.h"
#include "ps_string.h"

// One -d assignment.
struct psData {
    psData() {}
    psData(const psString& n, const psString& v) : name(n), value(v) {}
    psString name;
    psString value;
};

// The -d pairs in the order they were set; a name appears at most once, with its latest value.
class psDataList : public psList<psData> {
public:
    // "name=value": split at "=" into the first two words, then set(name, value). The key -d
    // hands over the text that follows it.
    void set(psString text);
    // Both are trimmed; an empty name is ignored; a later pair replaces an earlier one of the
    // same name and moves to the end.
    void set(psString name, psString value);
    // The first pair with exactly this name, or none.
    psData* find(const psString& name);
    bool get(const psString& name, psString& value);

private:
    // Pairs by name, so that many -d keys cost linear time; rebuilt when the list changed size
    // behind its back.
    std::unordered_map<std::string, iterator> m_index;
    void rebuildIndex();
};

class psIniFile;

// Where the last value came from.
enum psInputSource {
    srcDefault = 0,
    srcConsole = 1,
    srcIniFile = 2,
    srcData = 3,
    srcNone = 4, // before any look-up
};

// Decides, for one parameter at a time, which of the four sources gives its value text:
// -d data first, then the current section of the ini file, then the console (only when one is
// attached), and the default last. Parameters read themselves through getItemValue.
class psIStream {
public:
    psIStream();
    ~psIStream();
    psIStream(const psIStream&) = delete;
    psIStream& operator=(const psIStream&) = delete;

    // Attaches the console of the dialogue; none means batch mode. c_in is never deleted here,
    // any other stream handed over is owned.
    void setIStream(i_stream* in);
    bool batchMode() const { return m_in == nullptr; }

    psDataList& getDataList() { return m_data; }

    // Replaces the ini file by a new one opened from name (an input path); the previous one is
    // rewritten first when it was in write mode. Returns whether the new file opened.
    bool setIniFile(psString name, bool write);
    // Drops the ini file; a file in write mode is rewritten now.
    void deleteIniFile();
    psIniFile* iniFile() const { return m_iniFile; }
    bool iniWrite() const { return m_iniFile && m_iniWrite; }
    // Returns the previous section name.
    psString setIniSection(psString section);
    const psString& getIniSection() const { return m_section; }

    // The value text for the parameter name; prompt is the console question (the name when
    // empty) and comment the parameter's valid values, kept next to the value in a written ini
    // file. source() tells afterwards where the text came from.
    psString getItemValue(psString name, psString defaultValue, psString prompt, psString comment);
    int source() const { return m_source; }

    void close() {}

private:
    // The two places where the ini file joins the look-up: reading a non-empty value of the
    // current section, and recording the value used when the file is written back.
    bool iniLookup(const psString& name, psString& value);
    void iniRecord(const psString& name, const psString& value, const psString& comment);
    // Asks at the console; false on an empty line or at the end of input.
    bool askConsole(const psString& prompt, const psString& defaultValue, psString& answer);

    i_stream* m_in;
    psIniFile* m_iniFile; // owned
    psDataList m_data;
    psString m_section;
    bool m_iniWrite;
    int m_source;
};

extern psIStream g_istrm;

#endif
