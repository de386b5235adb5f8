// kyFunc: the name of a measured library function, split by the library family's naming convention
// (prefix, base name, data types, descriptor) and ordered by that split.
#ifndef KY_FUNC_H
#define KY_FUNC_H

#include "ky_vector.h"
#include "ps_string.h"

// Names of the form <prefix><base>_<types>_<descriptor>, for example "kynsAdd_32f_I". A name with no
// data-type part (every multi-buffer function) has an empty prefix and is its own base name.
class kyFunc : public psString {
public:
    kyFunc() {}
    kyFunc(const psString& name) : psString(name) {}
    kyFunc(const char* name) : psString(name) {}

    // "kyns" or "kyni" when the name starts with it, else "".
    psString prefix() const;
    void parseFunction(psString& base, psString& type, psString& descriptor) const;
    psString baseName() const;
    psString typeName() const;
    psString descrName() const;

    // Negative, zero or positive: by prefix and base, then by data types, then by descriptor.
    int compare(const kyFunc& other) const;

    // Characters covered by the type token ("32f", "16sc", ...) that starts at pos; 0 when none does.
    static int lenOfType(const psString& text, int pos = 0);
    static psString typeToString(int code) { return kyTypeToString(code); }
    static kyType stringToType(const psString& name) { return kyStringToType(name); }
};

#endif
