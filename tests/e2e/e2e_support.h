// Runs the built program as a user would and collects what it prints and writes.
#ifndef E2E_SUPPORT_H
#define E2E_SUPPORT_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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
    std::ofstream(inFile, std::ios::binary) << input;
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

// The cells of one csv line; a line without commas is one cell, a comma at the end starts an empty one.
inline std::vector<std::string> cells(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) out.push_back(cell);
    if (line.empty() || line.back() == ',') out.push_back("");
    return out;
}

inline bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
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

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The program on a pseudo-terminal of its own, as an operator at a console would see it.
class Terminal {
public:
    Terminal(const std::vector<std::string>& args, const std::string& dir)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) return;
        std::string slave = ptsname(m_master);
        m_pid = fork();
        if (m_pid != 0) return;
        setsid();
        int fd = open(slave.c_str(), O_RDWR);
        if (fd < 0 || chdir(dir.c_str()) != 0) _exit(126);
        for (int n : {0, 1, 2}) dup2(fd, n);
        std::vector<std::string> copies(args);
        copies.insert(copies.begin(), PS_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : copies) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execv(PS_PROGRAM, argv.data());
        _exit(127);
    }
    ~Terminal()
    {
        if (m_pid > 0 && !m_reaped) kill(m_pid, SIGKILL), waitpid(m_pid, nullptr, 0);
        if (m_master >= 0) close(m_master);
    }
    bool started() const { return m_master >= 0 && m_pid > 0; }
    void interrupt() const { kill(m_pid, SIGINT); }

    // Reads until the text has appeared after the last answer, or the time is up.
    bool waitFor(const std::string& text, int seconds)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!contains(m_output.substr(m_mark), text))
            if (!readSome(end)) return false;
        m_mark = m_output.find(text, m_mark) + text.size();
        return true;
    }
    void answer(const std::string& line) const { (void)!write(m_master, (line + "\n").data(), line.size() + 1); }
    // Reads to the end of the output; the exit status, or -1 when the time ran out.
    int finish(int seconds)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (readSome(end)) {
        }
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                return m_reaped = true, WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            usleep(10000);
        }
        return -1;
    }
    // What the terminal showed, with its carriage returns removed.
    std::string output() const
    {
        std::string text = m_output;
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

private:
    bool readSome(std::chrono::steady_clock::time_point end)
    {
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p = {m_master, POLLIN, 0};
            if (poll(&p, 1, (int)left.count()) <= 0) continue;
            char buffer[4096];
            ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n <= 0) return false; // the program closed the terminal
            m_output.append(buffer, n);
            return true;
        }
    }

    int m_master = -1;
    pid_t m_pid = -1;
    bool m_reaped = false;
    std::string m_output;
    size_t m_mark = 0;
};

// Compares the lines of a run with the expected ones (or only its first lines), reporting every difference.
inline void expectLines(const std::vector<std::string>& got, const std::vector<std::string>& want,
                        const std::string& all, bool whole = true)
{
    for (size_t i = 0; i < want.size() && i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i;
    EXPECT_TRUE(whole ? got.size() == want.size() : got.size() >= want.size()) << all;
}

// The rows of a result table after its title line, as cells.
inline std::vector<std::vector<std::string>> resultRows(const std::string& csv)
{
    std::vector<std::vector<std::string>> rows;
    bool afterTitle = false;
    for (const std::string& line : lines(csv)) {
        if (afterTitle) rows.push_back(cells(line));
        afterTitle |= line.rfind("function,Parm1,Parm2,Parm3,Parm4,Parm5,Parm6,Parm7,Parm8,Comment,Clocks,per,", 0) == 0;
    }
    return rows;
}

// A test of the product's suites, as registered.
struct SuiteTest {
    std::string function; // the measured library function; the test is function + "_sts_wrapper"
    std::string cls, source;
    std::string param; // the size parameter, if any
    std::string parms; // the csv cells Parm1 to Parm8, '%' standing for the parameter's value
    std::string name() const { return function + "_sts_wrapper"; }
};

// Every suite's tests in registration order.
inline std::vector<SuiteTest> suiteTests()
{
    std::vector<SuiteTest> t;
    const std::string none = "-,-,-,-,-,-,-,-", pub = "pub_key: projective,-,-,-,-,-,-,-";
    auto ecc = [&](const std::string& curve, const std::string& cls, std::vector<std::string> ops) {
        for (const std::string& op : ops)
            t.push_back({"tzv_" + curve + "_" + op + "_mb8", cls, "p_tzv_ecc", "",
                         op == "ecpublic_key" || op == "ecdh" || op == "ecdsa_verify" ? pub : none});
    };
    for (const char* bits : {"256", "384", "521"})
        ecc(std::string("nistp") + bits, std::string("TimECC") + bits + "_TZV",
            {"ecpublic_key", "ecdh", "ecdsa_sign_setup", "ecdsa_sign_complete", "ecdsa_sign", "ecdsa_verify"});
    ecc("sm2", "TimECCSM2_TZV", {"ecpublic_key", "ecdh", "ecdsa_sign", "ecdsa_verify"});
    for (const char* op : {"public_key", "sign", "verify"})
        t.push_back({std::string("tzv_ed25519_") + op + "_mb8", "TimEd25519_TZV", "p_tzv_ed25519", "", none});
    t.push_back({"tzv_exp_mb8", "TimEXP_TZV", "p_tzv_exp", "modulus-bit-Length", "8u,-,%,-,-,-,-,-"});
    for (const char* op : {"public", "private", "private_crt"})
        t.push_back({std::string("tzv_rsa_") + op + "_mb8", "TimRSA_TZV", "p_tzv_rsa", "N-bitLength", "8u,-,%,-,-,-,-,-"});
    for (const char* op : {"update", "msg_digest"})
        t.push_back({std::string("tzv_sm3_") + op + "_mb16", "TimSM3_TZV", "p_tzv_sm3", "length", "%,-,-,-,-,-,-,-"});
    for (const char* mode : {"ecb", "cbc", "ctr128", "ofb", "cfb128", "xts", "gcm", "ccm"})
        for (const char* dir : {"encrypt", "decrypt"}) {
            const std::string m = mode, d = dir;
            const std::string cls = m == "gcm" ? "TimSM4_GCM_ENC_DEC_TZV" : m == "ccm" ? "TimSM4_CCM_ENC_DEC_TZV" : "TimSM4_TZV";
            const std::string name = m == "xts" || m == "gcm" || m == "ccm" ? m + "_" + d : d + "_" + m;
            t.push_back({"tzv_sm4_" + name + "_mb16", cls, "p_tzv_sm4", "length", "%,-,-,-,-,-,-,-"});
        }
    t.push_back({"tzv_x25519_public_key_mb8", "TimX25519_TZV", "p_tzv_x25519", "", none});
    t.push_back({"tzv_x25519_mb8", "TimX25519_TZV", "p_tzv_x25519", "", none});
    return t;
}

} // namespace e2e

#endif
