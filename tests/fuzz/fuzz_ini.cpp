// Fuzzes the ini file reader and writer, and the -d data with the parameter conversions behind them.
//
// The input is read as an ini file; its structure must survive a rewrite unchanged. Each line of
// the input is also a -d text, and the values found through the parameter input are converted by
// the parameter kinds of the dialogue.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "ps_exception.h"
#include "ps_ini_file.h"
#include "ps_istream.h"
#include "ps_parameter.h"

namespace {

std::string workDir()
{
    char pattern[] = "/tmp/ps_fuzz_ini_XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) std::abort();
    return dir;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// Sections with their items in order; a NUL-free text that differs whenever the structure does.
std::string dump(psIniFile& ini, psStringList& sectionNames)
{
    std::string text;
    for (psStringList::iterator name = sectionNames.begin(); name != sectionNames.end(); ++name) {
        psValues* values = ini.getSectionValues(*name);
        if (!values) std::abort();
        text += std::string("[") + name->c_str() + "]\n";
        for (psValues::iterator it = values->begin(); it != values->end(); ++it) {
            // A bare item without a key is written as an empty line, which reads as nothing.
            if ((*it)->key.empty() && (*it)->value == PS_INI_BARE) continue;
            text += std::string((*it)->key.c_str()) + "\x01" + (*it)->value.c_str() + "\n";
        }
    }
    return text;
}

// The section names, in file order: the lines that start sections, as the reader cuts them.
void sectionNames(const uint8_t* data, size_t size, psIniFile& ini, psStringList& names)
{
    std::string line;
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\n') {
            line += (char)data[i];
            continue;
        }
        size_t nul = line.find('\0');
        if (nul != std::string::npos) line.resize(nul);
        size_t comment = line.find("//");
        if (comment != std::string::npos) line.resize(comment);
        size_t open = line.find('[');
        size_t close = open == std::string::npos ? std::string::npos : line.find(']', open + 1);
        if (close != std::string::npos) {
            psString name = line.substr(open + 1, close - open - 1).c_str();
            name.trim();
            if (!names.found(name) && ini.sectionExist(name)) names.push_back(name);
        }
        line.clear();
    }
}

template <class P>
void convert(P& parm, const psString& text)
{
    try {
        parm.translate(text);
    } catch (psException&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string dir = workDir();
    const std::string first = dir + "/first.ini";
    const std::string second = dir + "/second.ini";
    writeFile(first, data, size);
    writeFile(second, data, size);

    psStringList names;
    std::string before;
    {
        psIniFile ini;
        if (!ini.open(first.c_str(), false)) std::abort();
        sectionNames(data, size, ini, names);
        before = dump(ini, names);
        ini.read("Perf System", "Method", "Auto");
        ini.write("Perf System", "Method", "Manual", "");
    }
    {
        // Rewritten without a change, then read again: the same sections and items.
        psIniFile ini;
        if (!ini.open(second.c_str(), true)) std::abort();
    }
    {
        psIniFile ini;
        if (!ini.open(second.c_str(), false)) std::abort();
        if (dump(ini, names) != before) std::abort();
    }

    // Every line a -d text; the names found are read through the input with the ini file set.
    psIStream in;
    in.setIniFile(first.c_str(), false);
    psString text((std::string((const char*)data, size)).c_str());
    psStringList lines;
    text.parse(lines, "\n");
    for (psStringList::iterator it = lines.begin(); it != lines.end(); ++it) in.getDataList().set(*it);

    psMapDefault<int> method(0, "Method");
    method[0] = "Auto";
    method[1] = "Manual";
    method[2] = "Statistic";
    method[3] = "Iterative";
    psDefault<int> number(10, "NumLoops");
    psIterator<int> list;
    list.init("Len", 16, 32);
    DefaultAlign align(0, "VectorAlign");
    DefaultShift shift(512, "MutualVectorShift");
    for (psDataList::iterator it = in.getDataList().begin(); it != in.getDataList().end(); ++it) {
        psString value = in.getItemValue(it->name, "0", "", "");
        convert(method, value);
        convert(number, value);
        convert(list, value);
        convert(align, value);
        convert(shift, value);
    }
    for (psStringList::iterator name = names.begin(); name != names.end(); ++name) {
        in.setIniSection(*name);
        in >> method >> number >> list >> align;
    }
    if (align.value() < 0 || align.value() >= 64) std::abort();
    return 0;
}
