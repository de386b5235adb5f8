// Fuzzes the command-line phase: cutting keys from tokens, pairing them with their arguments,
// reading key files, and the report and effect of every key.
//
// Input layout: one mode byte, the command text, a 0x01 byte, then the content of a key file.
// Mode bit 0: the command text is split at NUL bytes into process arguments (one token each);
// otherwise it is split at the separators. Mode bit 1: the key file is also inserted at the front.
//
// Keys that open files are applied only when their file lands directly inside the fuzzer's own
// directory, which is emptied after every input; -@ reads only that directory's key file.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ky_cp_environment.h"
#include "ps_command_list.h"
#include "ps_conditions.h"
#include "ps_cstream.h"
#include "ps_options.h"
#include "ps_ostream.h"
#include "ps_registry.h"
#include "ps_session.h"

namespace {

std::string s_dir; // the fuzzer's directory, without a final "/"
const char* const keyFileName = "keys";

class FuzzSession : public psSession {
public:
    void start()
    {
        setKynEnvironment();
        initSession();
    }
    void setExitLevel(int level) { m_exitLevel = level; }
    void forget()
    {
        m_optReport = "";
        m_unopenedFile = false;
        m_askMode = 0;
        m_batMode = false;
        m_levelMode = 1;
        m_quickMode = false;
        m_enumMode = 100;
        m_iniName = "";
        m_sglName = "";
        // The conditions belong to the process in a real run; here they go with each input.
        psConditions* conditions = getConditions();
        for (psConditions::iterator it = conditions->begin(); it != conditions->end(); ++it) delete *it;
        conditions->clear();
        conditions->setLogic(logicAnd);
    }
};

FuzzSession* s_session = nullptr;

bool insideDir(const psString& path)
{
    std::string p = path.c_str();
    std::string prefix = s_dir + "/";
    if (p.compare(0, prefix.size(), prefix) != 0) return false;
    std::string rest = p.substr(prefix.size());
    return !rest.empty() && rest.find('/') == std::string::npos && rest != "." && rest != ".." &&
           rest != keyFileName;
}

// The default extension of a key that opens a file, or null.
const char* fileExtension(char key)
{
    switch (key) {
    case 'o': case 'O': return ".txt";
    case 'r': case 'R': return ".csv";
    case 'u': case 'U': return "_sum.csv";
    case 'q': return "_name.csv";
    default: return nullptr;
    }
}

void detachFiles()
{
    g_ostrm.close();
    g_ostrm.clear();
    g_cstrm.close();
    g_cstrm.clear();
    g_qstrm.close();
    g_qstrm.clear();
    g_ustrm.close();
    g_ustrm.clear();
}

void emptyDir()
{
    DIR* dir = opendir(s_dir.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && name != keyFileName) names.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : names) unlink((s_dir + "/" + name).c_str());
}

void setUp()
{
    char pattern[] = "/tmp/ps_fuzz_cl_XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) abort();
    s_dir = dir;
    psSession::setExePath((s_dir + "/ps").c_str());
    psRegKynEnvironment(kySetKynEnvironment);
    psRegQKeys(); // -q and -Q too
    s_session = new FuzzSession;
    s_session->start();
    atexit([] {
        emptyDir();
        unlink((s_dir + "/" + keyFileName).c_str());
        rmdir(s_dir.c_str());
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!s_session) setUp();
    if (size == 0) return 0;
    int mode = data[0];
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t split = rest.find('\x01');
    std::string command = rest.substr(0, split);
    std::string keyFile = split == std::string::npos ? std::string() : rest.substr(split + 1);
    {
        FILE* file = fopen((s_dir + "/" + keyFileName).c_str(), "wb");
        if (!file) abort();
        fwrite(keyFile.data(), 1, keyFile.size(), file);
        fclose(file);
    }

    psResetOptionSettings();
    psCommandList keys;
    if (mode & 1) {
        std::vector<std::string> tokens;
        size_t from = 0;
        for (;;) {
            size_t nul = command.find('\0', from);
            tokens.push_back(command.substr(from, nul == std::string::npos ? std::string::npos : nul - from));
            if (nul == std::string::npos) break;
            from = nul + 1;
        }
        std::vector<char*> argv;
        for (std::string& token : tokens) argv.push_back(&token[0]);
        keys.setArgs((int)argv.size(), argv.data());
    } else {
        keys.setArgs(command.c_str());
    }
    if (mode & 2) keys.insertFromFile(keyFileName, keys.begin());

    // The settings that the command-line phase makes before any key is applied.
    int exitLevel = keys.isKey('?') || keys.isKey('h') ? 2 : keys.isKey('e') ? 1 : keys.isKey('v') ? 3 : 0;
    s_session->setExitLevel(exitLevel);
    psString arg;
    psSession::setInDir("");
    if (keys.getArg('p', arg)) psSession::setInDir(arg);
    psSession::setOutDir("");
    if (keys.getArg('l', arg)) psSession::setOutDir(arg);
    psSession::setDefName("");
    if (keys.getArg('n', arg)) psSession::setDefName(arg);

    for (psCommandList::iterator it = keys.begin(); it != keys.end();) {
        if (it->getKey() != '@') {
            ++it;
            continue;
        }
        psString name = it->getArg();
        it = keys.erase(it);
        if (psSession::getInPath(name) == (s_dir + "/" + keyFileName).c_str()) keys.insertFromFile(name, it);
    }

    bool opened = false;
    for (psCommandList::iterator it = keys.begin(); it != keys.end(); ++it) {
        char key = it->getKey();
        const char* ext = fileExtension(key);
        if (ext && !insideDir(psSession::genOutPath(it->getArg(), ext))) {
            // Report only: the file would land outside the fuzzer's directory.
            psOption* option = s_session->getOption(key);
            if (option && option->info) option->info(it->getArg());
            continue;
        }
        opened = opened || ext != nullptr;
        s_session->applyOption(key, it->getArg());
    }
    s_session->updateOptions();
    if (psGetHintArg() != 0) s_session->hint(psGetHintArg(), psGetHintHide());

    detachFiles();
    if (opened) emptyDir();
    s_session->forget();
    return 0;
}
