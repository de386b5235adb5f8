#include "ps_command_list.h"

#include <cstring>

#include "ps_iostream.h"

bool psIsKeyToken(const psString& token)
{
    return token.length() >= 2 && (token[0] == '-' || token[0] == '/');
}

bool psCommandKey::setArg(const psString& token, const psString& next)
{
    if (!psIsKeyToken(token)) return false;
    m_key = token[1];
    psString rest = token.substr(2);
    psString prefix;
    if (!rest.empty() && (rest[0] == '-' || rest[0] == '+' || rest[0] == '=')) {
        prefix = psString(rest[0]);
        rest = rest.substr(1);
    }
    m_arg = rest.empty() ? prefix + next : prefix + rest;
    return true;
}

bool psCommandKey::getArg(char key, psString& out) const
{
    if (key != m_key) return false;
    out = m_arg;
    return true;
}

void psCommandList::setArgs(int n, char** v)
{
    psStringList tokens;
    for (int i = 0; i < n; ++i) tokens.push_back(psString(v[i]));
    insertArgs(tokens, end());
}

void psCommandList::setArgs(const char* text) { insertArgs(text, end()); }

void psCommandList::split(const psString& text, psStringList& tokens)
{
    // A double quote separates like a blank here (it is not removed first as by psString::parse),
    // so -v"-rname" gives two keys.
    const char* seps = separators();
    int start = 0, n = text.length();
    for (int i = 0; i <= n; ++i) {
        if (i < n && !std::strchr(seps, text[i])) continue;
        if (i > start) tokens.push_back(text.substr(start, i - start));
        start = i + 1;
    }
}

void psCommandList::insertArgs(const char* text, iterator pos)
{
    psStringList tokens;
    split(psString(text), tokens);
    insertArgs(tokens, pos);
}

void psCommandList::insertArgs(const psStringList& tokens, iterator pos)
{
    psStringList::const_iterator it = tokens.begin();
    while (it != tokens.end()) {
        const psString& token = *it;
        ++it;
        psString next;
        // A following token that is not a key is this key's argument.
        if (it != tokens.end() && !psIsKeyToken(*it)) {
            next = *it;
            ++it;
        }
        insertArg(token, next, pos);
    }
}

bool psCommandList::insertArg(const psString& token, const psString& next, iterator pos)
{
    psCommandKey key;
    if (!key.setArg(token, next)) return false;
    insert(pos, key);
    return true;
}

void psCommandList::setArg(const psString& token, const psString& arg) { insertArg(token, arg, end()); }

void psCommandList::setArg(char key, const psString& arg) { setArg(psString("-") + psString(key), arg); }

bool psCommandList::isKey(char key) const
{
    for (const_iterator it = begin(); it != end(); ++it)
        if (it->getKey() == key) return true;
    return false;
}

bool psCommandList::getArg(char key, psString& arg) const
{
    if (empty()) return false;
    const_iterator it = end();
    do {
        --it;
        if (it->getArg(key, arg)) return true;
    } while (it != begin());
    return false;
}

bool psCommandList::insertFromFile(const psString& name, iterator pos)
{
    i_stream file(name, true);
    if (!file) return false;
    // A line feed acts as a blank, so splitting line by line gives the tokens of the whole text;
    // gathering the text first would copy it once per line.
    psStringList tokens;
    psString line;
    while (file.getline(line)) split(line, tokens);
    insertArgs(tokens, pos);
    return true;
}
