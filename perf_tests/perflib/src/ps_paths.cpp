#include "ps_paths.h"

psString psPaths::s_exePath;
psString psPaths::s_defName;
psString psPaths::s_inDir;
psString psPaths::s_outDir;

namespace {
// The directory of the program, with its separator; empty when argv[0] has none, which makes the
// current directory the default.
psString programDir() { return psPaths::getExePath().getFileDir(); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }
} // namespace

bool isAbsolutePath(const psString& name)
{
    if (name.length() >= 1 && isSeparator(name[0])) return true;
    return name.length() >= 2 && name[1] == ':';
}

psString psPaths::genDirName(psString dir)
{
    if (dir.empty()) return programDir();
    if (!isSeparator(dir[dir.length() - 1])) dir += "/";
    if (isAbsolutePath(dir)) return dir;
    return programDir() + dir;
}

void psPaths::setDefName(psString name)
{
    s_defName = name.empty() ? s_exePath.getFileTitle() : name;
}

psString psPaths::genPathName(psString dir, psString name, psString ext)
{
    if (isAbsolutePath(name)) return name;
    if (name.empty())
        name = s_defName + ext;
    else if (name.find('.', 0) == psString::npos)
        name += ext;
    return dir + name;
}

psString psPaths::getDirPath(psString dir, psString name)
{
    if (isAbsolutePath(name)) return name;
    if (dir.empty()) return programDir() + name;
    if (name.find(dir, 0) != 0) return dir + name;
    return name;
}
