#include "ps_istream.h"

#include "ps_ini_file.h"
#include "ps_interrupt.h"
#include "ps_paths.h"

psIStream g_istrm;

void psDataList::set(psString text)
{
    psString name, value;
    text.parse(name, value, "=");
    set(name, value);
}

void psDataList::set(psString name, psString value)
{
    name.trim();
    value.trim();
    if (name.empty()) return;
    if ((int)m_index.size() != size()) rebuildIndex();
    std::string key(name.c_str(), name.length());
    auto found = m_index.find(key);
    if (found != m_index.end()) {
        erase(found->second);
        m_index.erase(found);
    }
    push_back(psData(name, value));
    m_index.emplace(key, --end());
}

void psDataList::rebuildIndex()
{
    m_index.clear();
    for (iterator it = begin(); it != end(); ++it) m_index.emplace(std::string(it->name.c_str(), it->name.length()), it);
}

psData* psDataList::find(const psString& name)
{
    if ((int)m_index.size() != size()) rebuildIndex();
    auto found = m_index.find(std::string(name.c_str(), name.length()));
    return found == m_index.end() ? nullptr : &*found->second;
}

bool psDataList::get(const psString& name, psString& value)
{
    psData* data = find(name);
    if (!data) return false;
    value = data->value;
    return true;
}

psIStream::psIStream()
    : m_in(nullptr), m_iniFile(nullptr), m_section("Perf System"), m_iniWrite(false), m_source(srcNone)
{
}

psIStream::~psIStream()
{
    setIStream(nullptr);
    deleteIniFile();
}

void psIStream::setIStream(i_stream* in)
{
    if (m_in && m_in != &c_in && m_in != in) delete m_in;
    m_in = in;
}

psString psIStream::setIniSection(psString section)
{
    psString previous = m_section;
    m_section = section;
    return previous;
}

bool psIStream::setIniFile(psString name, bool write)
{
    deleteIniFile();
    m_iniFile = new psIniFile;
    m_iniWrite = write;
    return m_iniFile->open(psPaths::getInPath(name), write);
}

void psIStream::deleteIniFile()
{
    // The object is cleared before it is destroyed, so a rewrite that reports a failure never
    // sees a half-deleted file here.
    psIniFile* ini = m_iniFile;
    m_iniFile = nullptr;
    m_iniWrite = false;
    delete ini;
}

bool psIStream::iniLookup(const psString& name, psString& value)
{
    if (!m_iniFile) return false;
    value = m_iniFile->read(m_section, name, "");
    return true;
}

void psIStream::iniRecord(const psString& name, const psString& value, const psString& comment)
{
    if (m_iniFile) m_iniFile->write(m_section, name, value, comment);
}

bool psIStream::askConsole(const psString& prompt, const psString& defaultValue, psString& answer)
{
    if (psInterrupted()) return false;
    // Straight to the console: the question must show whatever the message levels are.
    c_out << psString("\n ") + prompt + " [" + defaultValue + "] = ";
    c_out.flush();
    // Only an empty line means the default: a line of blanks is an answer like any other and
    // goes to the parameter's conversion as it is.
    if (!m_in->getline(answer) || answer.empty()) return false;
    psString trimmed = answer;
    trimmed.trim();
    if (!trimmed.empty()) answer = trimmed;
    return true;
}

psString psIStream::getItemValue(psString name, psString defaultValue, psString prompt, psString comment)
{
    psString result;
    if (prompt.empty()) prompt = name;
    int source = batchMode() ? srcDefault : srcConsole;

    if (m_data.get(name, result)) {
        source = srcData;
    } else if (iniLookup(name, result) && !result.empty()) {
        source = srcIniFile;
    }
    if (source == srcConsole && !askConsole(prompt, defaultValue, result)) source = srcDefault;
    if (source == srcDefault) result = defaultValue;

    if (iniWrite()) iniRecord(name, result, comment);
    m_source = source;
    return result;
}
