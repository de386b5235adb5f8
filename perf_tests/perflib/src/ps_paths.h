// Where the program's files are: its own directory, the input and output directories, the default
// file title, and the paths made of them. Streams resolve names here; the session's path
// functions forward here.
#ifndef PS_PATHS_H
#define PS_PATHS_H

#include "ps_string.h"

class psPaths {
public:
    // A directory with its separator: empty gives the program's directory, a relative one is
    // taken below it.
    static psString genDirName(psString dir);
    static void setInDir(psString dir) { s_inDir = genDirName(dir); }
    static void setOutDir(psString dir) { s_outDir = genDirName(dir); }
    // Empty gives the program's file title.
    static void setDefName(psString name);
    static psString getDefName() { return s_defName; }
    static psString getInDir() { return s_inDir; }
    static psString getOutDir() { return s_outDir; }
    static psString getExePath() { return s_exePath; }
    static void setExePath(psString path) { s_exePath = path; }

    // An absolute name as it is; else in dir, the default title standing for an empty name and
    // ext added to a name without a dot.
    static psString genPathName(psString dir, psString name, psString ext);
    static psString genInPath(psString name, psString ext) { return genPathName(s_inDir, name, ext); }
    static psString genOutPath(psString name, psString ext) { return genPathName(s_outDir, name, ext); }
    // An absolute name, or one already starting with dir, as it is; else in dir (the program's
    // directory when dir is empty).
    static psString getDirPath(psString dir, psString name);
    static psString getInPath(psString name) { return getDirPath(s_inDir, name); }
    static psString getOutPath(psString name) { return getDirPath(s_outDir, name); }

private:
    static psString s_exePath;
    static psString s_defName;
    static psString s_inDir;
    static psString s_outDir;
};

bool isAbsolutePath(const psString& name);

#endif
