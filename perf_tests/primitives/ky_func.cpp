#include "ky_func.h"

namespace {
const int prefixLength = 4;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Orders two type tokens: a missing token first, then by the type without the complex flag, then
// real before complex.
int compareTypeTokens(const psString& a, const psString& b)
{
    if (a.empty() || b.empty()) return (a.empty() ? 0 : 1) - (b.empty() ? 0 : 1);
    int codeA = kyFunc::stringToType(a);
    int codeB = kyFunc::stringToType(b);
    int realA = codeA & ~kyTypeComplex;
    int realB = codeB & ~kyTypeComplex;
    if (realA != realB) return realA < realB ? -1 : 1;
    return (codeA & kyTypeComplex) - (codeB & kyTypeComplex);
}

// The next type token of a type part, advancing pos; "" when none is left.
psString nextTypeToken(const psString& types, int& pos)
{
    int n = kyFunc::lenOfType(types, pos);
    psString token = types.substr(pos, n);
    pos += n;
    return token;
}

int compareDescriptors(const psString& a, const psString& b)
{
    // In-place variants after the others, and AC4 variants after C variants, whatever the letters say.
    bool inPlaceA = a.found("I");
    bool inPlaceB = b.found("I");
    if (inPlaceA != inPlaceB) return inPlaceA ? 1 : -1;
    bool ac4A = a.find("AC4") == 0;
    bool ac4B = b.find("AC4") == 0;
    if (ac4A && b.find("C") == 0) return 1;
    if (ac4B && a.find("C") == 0) return -1;
    return a.compare(b);
}
} // namespace

int kyFunc::lenOfType(const psString& text, int pos)
{
    if (pos < 0) return 0;
    int i = pos;
    while (i < text.length() && isDigit(text[i])) ++i;
    if (i == pos || i >= text.length()) return 0;
    char letter = text[i];
    if (letter != 'u' && letter != 's' && letter != 'f') return 0;
    ++i;
    if (i < text.length() && text[i] == 'c') ++i;
    return i - pos;
}

psString kyFunc::prefix() const
{
    psString head = substr(0, prefixLength);
    return head == "kyns" || head == "kyni" ? head : psString();
}

void kyFunc::parseFunction(psString& base, psString& type, psString& descriptor) const
{
    int start = prefix().length();
    type = psString();
    descriptor = psString();
    int split = find('_', start);
    while (split != npos && lenOfType(*this, split + 1) == 0) split = find('_', split + 1);
    if (split == npos) {
        base = substr(start);
        return;
    }
    base = substr(start, split - start);
    int next = find('_', split + 1);
    if (next == npos) {
        type = substr(split + 1);
    } else {
        type = substr(split + 1, next - split - 1);
        descriptor = substr(next + 1);
    }
}

psString kyFunc::baseName() const
{
    psString base, type, descriptor;
    parseFunction(base, type, descriptor);
    return base;
}

psString kyFunc::typeName() const
{
    psString base, type, descriptor;
    parseFunction(base, type, descriptor);
    return type;
}

psString kyFunc::descrName() const
{
    psString base, type, descriptor;
    parseFunction(base, type, descriptor);
    return descriptor;
}

int kyFunc::compare(const kyFunc& other) const
{
    psString base, type, descriptor;
    psString otherBase, otherType, otherDescriptor;
    parseFunction(base, type, descriptor);
    other.parseFunction(otherBase, otherType, otherDescriptor);

    int result = (prefix() + base).compare(other.prefix() + otherBase);
    if (result != 0) return result;

    int pos = 0;
    int otherPos = 0;
    for (int token = 0; token < 3; ++token) {
        result = compareTypeTokens(nextTypeToken(type, pos), nextTypeToken(otherType, otherPos));
        if (result != 0) return result;
    }
    return compareDescriptors(descriptor, otherDescriptor);
}
