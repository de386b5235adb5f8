// The command-line phase of the session: where the keys come from, how each is reported and applied,
// and the help output.
#include <cstdio>
#include <string>

#include "ps_command_list.h"
#include "ps_cpu_features.h"
#include "ps_iostream.h"
#include "ps_istream.h"
#include "ps_options.h"
#include "ps_ostream.h"
#include "ps_registry.h"
#include "ps_session.h"
#include "ps_settings.h"
#include "ps_tool.h"

void psSession::initOption(char key, psString help, psOption::InfoFunc info, psOption::ApplyFunc apply,
                           psString description, bool hidden)
{
    m_options.push_back(new psOption{key, hidden, help, info, apply, description});
}

psOption* psSession::getOption(char key)
{
    for (psList<psOption*>::iterator it = m_options.begin(); it != m_options.end(); ++it)
        if ((*it)->key == key) return *it;
    return nullptr;
}

psString psSession::getExitInfo()
{
    switch (m_exitLevel) {
    case 2: return "ignored because of -h option";
    case 1: return "ignored because of -e option";
    case 3: return "ignored because of -v option";
    default: return "ignored";
    }
}

namespace {
// The report line of one key, taken before the key is applied.
psString keyReport(psSession* session, char key, const psString& arg)
{
    psString line = psString("-") + psString(key) + arg + ": ";
    psOption* option = session->getOption(key);
    if (!option)
        line += "ignored: incorrect option key";
    else if (option->info)
        line += option->info(arg);
    else
        line += "ignored"; // -@ read from a key file: key files do not nest
    return line + "\n";
}

void applyKey(psSession* session, char key, const psString& arg)
{
    psOption* option = session->getOption(key);
    if (option && option->apply) option->apply(arg, session);
}

// Joins the texts with one copy: appending to a psString piece by piece copies the whole text
// each time, which a key file of many thousand keys makes noticeable.
psString joinTexts(const psString& head, const psStringList& texts)
{
    std::string joined = head.c_str();
    for (psStringList::const_iterator it = texts.begin(); it != texts.end(); ++it) joined += it->c_str();
    return joined.c_str();
}
} // namespace

void psSession::applyOption(char key, psString arg)
{
    m_optReport += keyReport(this, key, arg);
    applyKey(this, key, arg);
}

bool psSession::readCfgFile(psString& text, psString& name)
{
    name = getExePath().getFileTitle() + ".cfg";
    FILE* file = fopen(name.c_str(), "r");
    if (!file) {
        name = getExePath().getFileDir() + name;
        file = fopen(name.c_str(), "r");
    }
    if (!file) return false;
    char line[1024];
    text = fgets(line, sizeof line, file) ? psString(line) : psString();
    fclose(file);
    return true;
}

bool psSession::parseCommandLine(int argc, char** argv)
{
    setExePath(argc > 0 ? psString(argv[0]) : psString());
    m_enumMode = 100;
    m_nameMode = 0;
    m_nameExit = false;
    m_iniName = "";
    m_optReport = "Command line options: ";
    psResetOptionSettings();

    delete pCmdList;
    pCmdList = new psCommandList;
    psString cfgText, cfgName;
    if (argc > 1) {
        pCmdList->setArgs(argc - 1, argv + 1);
        m_optReport += "\n";
    } else if (readCfgFile(cfgText, cfgName)) {
        pCmdList->setArgs(cfgText.c_str());
        m_optReport += psString("read from ") + cfgName + " file\n";
    } else if (psGetCmdLine()) {
        pCmdList->setArgs(psGetCmdLine()->c_str());
        m_optReport += "set by _FORCE_CMDLINE preprocessor definition\n";
    } else {
        m_optReport = "";
    }

    if (pCmdList->isKey('?') || pCmdList->isKey('h'))
        m_exitLevel = 2;
    else if (pCmdList->isKey('e'))
        m_exitLevel = 1;
    else if (pCmdList->isKey('v'))
        m_exitLevel = 3;
    else
        m_exitLevel = 0;

    psString arg;
    setInDir("");
    if (pCmdList->getArg('p', arg)) setInDir(arg);
    setOutDir("");
    if (pCmdList->getArg('l', arg)) setOutDir(arg);
    setDefName("");
    if (pCmdList->getArg('n', arg)) setDefName(arg);

    g_ostrm.setOutLevel(7);

    // Replace every -@ key by the keys of its file; keys read from a file are not expanded again.
    for (psCommandList::iterator it = pCmdList->begin(); it != pCmdList->end();) {
        if (it->getKey() != '@') {
            ++it;
            continue;
        }
        psString name = it->getArg();
        it = pCmdList->erase(it);
        if (!pCmdList->insertFromFile(name, it)) m_unopenedFile = true;
    }

    // As applyOption, with the report lines gathered in a list and joined once.
    psStringList reports;
    for (psCommandList::iterator it = pCmdList->begin(); it != pCmdList->end(); ++it) {
        reports.push_back(keyReport(this, it->getKey(), it->getArg()));
        applyKey(this, it->getKey(), it->getArg());
    }
    m_optReport = joinTexts(m_optReport, reports);

    // The -d data go to the parameter input, and -S to the tool every test copies.
    psDataList& data = g_istrm.getDataList();
    for (psStringList::iterator it = g_settings.data.begin(); it != g_settings.data.end(); ++it) data.set(*it);
    if (g_settings.realMeasure) g_tool.setRealMeasure(true);

    g_ostrm << m_optReport;
    m_optReport = "";

    if (m_unopenedFile) {
        g_ostrm << "FATAL FAIL: can't open output file for writing\n";
        return false;
    }
    if (!m_iniName.empty() && !g_istrm.setIniFile(m_iniName, m_iniWrite)) {
        // A file that cannot be read only loses its parameters; one that cannot be written would
        // lose the whole point of -I.
        g_istrm.deleteIniFile();
        if (m_iniWrite) {
            g_ostrm << "FATAL FAIL: can't open ini-file for writing\n";
            return false;
        }
    }
    updateOptions();
    return true;
}

void psSession::updateOptions()
{
    psOption* T = getOption('T');
    if (T) {
        int tab = T->description.find('\t', 0);
        if (tab != psString::npos)
            T->description = T->description.substr(0, tab) + psCpuFeatures::optimizedList() + T->description.substr(tab + 1);
    }
    if (m_batMode)
        m_askMode = 0;
    else if (m_askMode == 0)
        m_askMode = 3;
}

void psSession::hint(char selector, bool hide)
{
    if (selector == 1)
        hint_quick(hide);
    else if ((selector == 'h' && hide) || (selector == '?' && !hide))
        hint_full(hide);
    else
        hint_descr(selector);
}

void psSession::hint_quick(bool hide)
{
    g_ostrm << "QUICK HELP";
    if (!hide) g_ostrm << " with hidden keys";
    g_ostrm << "\n";
    for (psList<psOption*>::iterator it = m_options.begin(); it != m_options.end(); ++it)
        if (!(hide && (*it)->hidden)) g_ostrm << (*it)->help;
}

void psSession::hint_full(bool hide)
{
    g_ostrm << "EXTENDED HELP";
    if (!hide) g_ostrm << " with hidden keys";
    g_ostrm << "\n";
    for (psList<psOption*>::iterator it = m_options.begin(); it != m_options.end(); ++it) {
        psOption* option = *it;
        if ((hide && option->hidden) || option->help.empty()) continue;
        g_ostrm << "\n" << option->help;
        if (option->hidden) g_ostrm << "This is hidden key used by developers only\n";
        g_ostrm << option->description;
    }
}

void psSession::hint_descr(char key)
{
    g_ostrm << "EXTENDED KEY HELP\n";
    psOption* option = getOption(key);
    if (option) {
        if (option->help.empty())
            g_ostrm << psString("Key -") + psString(key) + " is deprecated\n";
        else
            g_ostrm << option->help;
        if (option->description.empty())
            g_ostrm << "No extended description for this key\n";
        else
            g_ostrm << option->description;
    } else {
        g_ostrm << psString("Key -") + psString(key) + " is not valid\n";
    }
    g_ostrm << "\n"
            << "Use -h option to type full key list\n";
}
