// Runs the built program as a user would and collects what it prints and writes.
#ifndef E2E_SUPPORT_H
#define E2E_SUPPORT_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {

struct Run {
    std::string out; // standard output and standard error, in order
    int status = -1; // exit status
};

inline std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the program with the arguments in the directory dir; input goes to its standard input.
// env is a list of NAME=value settings put before the command.
inline Run run(const std::vector<std::string>& args, const std::string& dir, const std::string& input = "",
               const std::string& program = PS_PROGRAM, const std::string& env = "")
{
    std::string inFile = dir + "/.stdin";
    {
        std::ofstream in(inFile, std::ios::binary);
        in << input;
    }
    std::string cmd = "cd " + quote(dir) + " && " + env + " " + quote(program);
    for (const std::string& a : args) cmd += " " + quote(a);
    cmd += " < " + quote(inFile) + " 2>&1";
    Run r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The cells of one csv line; a line without commas is one cell.
inline std::vector<std::string> cells(const std::string& line)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t comma = line.find(',', start);
        out.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

inline bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) result.push_back(line);
    return result;
}

// A fresh empty directory, removed when the object goes.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/ps_e2e_XXXXXX";
        m_path = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf " + quote(m_path)).c_str()); }
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// The banner date as the compiler writes it into the program.
inline std::string buildDate() { return __DATE__; }

} // namespace e2e

#endif
