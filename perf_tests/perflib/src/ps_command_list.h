// The keys of a command line, cut from tokens and kept in command-line order.
#ifndef PS_COMMAND_LIST_H
#define PS_COMMAND_LIST_H

#include "ps_list.h"
#include "ps_string.h"

class psCommandKey {
public:
    psCommandKey() : m_key(' ') {}
    // Cuts a key from a token ("-r", "/B", "-f-abc"); "next" is the following token when that is not
    // a key itself. False when the token is not a key.
    bool setArg(const psString& token, const psString& next);
    char getKey() const { return m_key; }
    const psString& getArg() const { return m_arg; }
    bool getArg(char key, psString& out) const;

private:
    char m_key;
    psString m_arg;
};

bool psIsKeyToken(const psString& token);

class psCommandList : public psList<psCommandKey> {
public:
    void setArgs(int n, char** v);
    void setArgs(const char* text);
    void insertArgs(const char* text, iterator pos);
    void insertArgs(const psStringList& tokens, iterator pos);
    bool insertArg(const psString& token, const psString& next, iterator pos);
    void setArg(const psString& token, const psString& arg);
    void setArg(char key, const psString& arg);
    bool isKey(char key) const;
    bool getArg(char key, psString& arg) const;
    // Reads the keys of a key file and inserts them before pos; false when the file cannot be opened.
    bool insertFromFile(const psString& name, iterator pos);

    // Appends the tokens of a command-line text: its words between separators.
    static void split(const psString& text, psStringList& tokens);
    // The separators of a command-line text.
    static const char* separators() { return " \";\t\r\n"; }
};

#endif
