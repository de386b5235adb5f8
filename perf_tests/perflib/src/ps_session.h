// The session: the one object that runs the program from the command line to the signal file.
#ifndef PS_SESSION_H
#define PS_SESSION_H

#include "ps_list.h"
#include "ps_paths.h"
#include "ps_settings.h"
#include "ps_string.h"

class psTest;
class psTestList;
class psConditions;
class RunCondition;
class psParameter;
class psCommandList;
struct CryptoLibraryVersion;

class psSession;

// One command-line key: its letter, help texts and the functions that report and apply it.
struct psOption {
    typedef psString (*InfoFunc)(psString arg);
    typedef void (*ApplyFunc)(psString arg, psSession* session);

    char key;
    bool hidden;
    psString help;        // one-line help ending with "\n"; empty marks a deprecated key
    InfoFunc info;        // report text for the argument
    ApplyFunc apply;      // makes the setting
    psString description; // extended description, possibly empty
};

class psSession {
public:
    psSession();
    virtual ~psSession();
    virtual void initSession();
    virtual int run(int argc, char** argv);
    virtual void funcTitleToCStream();
    virtual void parmsTitleToCStream();
    virtual void resultTitleToCStream();
    virtual void putTableTitle();
    virtual void putTableTitleLine();
    virtual bool startSession();
    virtual void updateOptions();
    virtual bool parseCommandLine(int argc, char** argv);
    virtual void listTests(int mode);
    virtual void hint(char selector, bool hide);
    virtual void hint_quick(bool hide);
    virtual void hint_full(bool hide);
    virtual void hint_descr(char key);
    virtual void outputHeader();
    virtual void outputFooter();
    virtual void outputSignal();
    virtual void readCommonData();

    // The groups of the common settings; each returns its ask-mode bit when the console was
    // asked for it, else 0.
    int readTimingMethod();
    int readTestParameters();
    int readDataOffset();
    // The title framed by two lines of stars, three lines of 79 characters each.
    static psString getEnterTitle(psString title);

    // The option table.
    void initOption(char key, psString help, psOption::InfoFunc info, psOption::ApplyFunc apply,
                    psString description, bool hidden);
    psOption* getOption(char key);
    void applyOption(char key, psString arg);
    bool readCfgFile(psString& text, psString& name);

    // Settings made by the keys: the key table writes them into g_settings, and the session's
    // fields of the same names below refer to them there.
    static bool isExit(int level) { return m_exitLevel >= level; }
    static psString getExitInfo();
    void setBatMode(bool on) { m_batMode = on; }
    bool getBatMode() const { return m_batMode; }
    void setQuickMode(bool on) { m_quickMode = on; }
    void setEnumMode(int mode) { m_enumMode = mode; }
    int getEnumMode() const { return m_enumMode; }
    void addAskMode(int mode) { m_askMode |= mode; }
    int getAskMode() const { return m_askMode; }
    void addLevelMode(int mode) { m_levelMode |= mode; }
    int getLevelMode() const { return m_levelMode; }
    void setIniMode(psString name, bool write)
    {
        m_iniName = name;
        m_iniWrite = write;
    }
    void addCondition(RunCondition* condition);
    void logicCondition(int logic);
    psConditions* getConditions() { return m_pConditions; }
    void unopenedFile() { m_unopenedFile = true; }
    void setSglName(psString name) { m_sglName = psPaths::genOutPath(name, ".end"); }
    psString getSglName() const { return m_sglName; }
    static void addNameMode(int mode) { m_nameMode |= mode; }
    static int getNameMode() { return m_nameMode; }
    static void setNameExit(bool on) { m_nameExit = on; }
    static bool getNameExit() { return m_nameExit; }
    static psString getExePath() { return psPaths::getExePath(); }
    static psCommandList* getCommandList() { return pCmdList; }

    // File names and directories (kept by psPaths).
    static psString genDirName(psString dir) { return psPaths::genDirName(dir); }
    static void setInDir(psString dir) { psPaths::setInDir(dir); }
    static void setOutDir(psString dir) { psPaths::setOutDir(dir); }
    static void setDefName(psString name) { psPaths::setDefName(name); }
    static psString getDefName() { return psPaths::getDefName(); }
    static psString getInDir() { return psPaths::getInDir(); }
    static psString getOutDir() { return psPaths::getOutDir(); }
    static psString genPathName(psString dir, psString name, psString ext)
    {
        return psPaths::genPathName(dir, name, ext);
    }
    static psString genInPath(psString name, psString ext) { return psPaths::genInPath(name, ext); }
    static psString genOutPath(psString name, psString ext) { return psPaths::genOutPath(name, ext); }
    static psString getDirPath(psString dir, psString name) { return psPaths::getDirPath(dir, name); }
    static psString getInPath(psString name) { return psPaths::getInPath(name); }
    static psString getOutPath(psString name) { return psPaths::getOutPath(name); }
    static void setExePath(psString path) { psPaths::setExePath(path); }

protected:
    void setKynEnvironment();
    void initStaticCpu();
    void setNumThreads();
    void setKynLibInfo();
    bool hintOutput();
    bool enumOutput();
    void selectTestParameters();
    void beginCommonData();
    void endCommonData();
    void deleteTestList();
    void initOptionTable();

    psConditions* m_pConditions;
    psList<psOption*> m_options;
    // The key settings of the session, in g_settings.
    int& m_askMode;
    bool& m_batMode;
    int& m_levelMode;
    bool& m_quickMode;
    int& m_enumMode;
    bool& m_unopenedFile;
    psString& m_iniName;
    bool& m_iniWrite;
    psString m_optReport;
    psString& m_sglName;

    static psCommandList* pCmdList;
    static int& m_nameMode;
    static bool& m_nameExit;
    static int m_exitLevel;
};

// Cells of the result table's title line: the base session's and those of library-function tests.
void psFuncTitleToCStream();
void psParmsTitleToCStream();
void kyFuncTitleToCStream();
void kyParmsTitleToCStream();

#endif
