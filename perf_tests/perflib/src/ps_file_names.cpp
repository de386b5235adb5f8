// Default directories, default title and the paths of every file the session reads or writes.
#include "ps_session.h"

psString psSession::m_exePath;
psString psSession::m_defName;
psString psSession::m_inDir;
psString psSession::m_outDir;

namespace {
// The directory of the program, with its separator; empty when argv[0] has none, which makes the
// current directory the default.
psString programDir() { return psSession::getExePath().getFileDir(); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }
} // namespace

bool isAbsolutePath(const psString& name)
{
    if (name.length() >= 1 && isSeparator(name[0])) return true;
    return name.length() >= 2 && name[1] == ':';
}

psString psSession::genDirName(psString dir)
{
    if (dir.empty()) return programDir();
    if (!isSeparator(dir[dir.length() - 1])) dir += "/";
    if (isAbsolutePath(dir)) return dir;
    return programDir() + dir;
}

void psSession::setInDir(psString dir) { m_inDir = genDirName(dir); }
void psSession::setOutDir(psString dir) { m_outDir = genDirName(dir); }

void psSession::setDefName(psString name)
{
    m_defName = name.empty() ? m_exePath.getFileTitle() : name;
}

psString psSession::genPathName(psString dir, psString name, psString ext)
{
    if (isAbsolutePath(name)) return name;
    if (name.empty())
        name = m_defName + ext;
    else if (name.find('.', 0) == psString::npos)
        name += ext;
    return dir + name;
}

psString psSession::genInPath(psString name, psString ext) { return genPathName(m_inDir, name, ext); }
psString psSession::genOutPath(psString name, psString ext) { return genPathName(m_outDir, name, ext); }

psString psSession::getDirPath(psString dir, psString name)
{
    if (isAbsolutePath(name)) return name;
    if (dir.empty()) return programDir() + name;
    if (name.find(dir, 0) != 0) return dir + name;
    return name;
}

psString psSession::getInPath(psString name) { return getDirPath(m_inDir, name); }
psString psSession::getOutPath(psString name) { return getDirPath(m_outDir, name); }

void psSession::setSglName(psString name) { m_sglName = genOutPath(name, ".end"); }
