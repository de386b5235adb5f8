// psParameter and its template family: every input of a measurement is a typed, named parameter
// that reads itself from the parameter input, prints itself, and steps through its values.
#ifndef PS_PARAMETER_H
#define PS_PARAMETER_H

#include "ps_list.h"
#include "ps_parse.h"
#include "ps_string.h"

class psIStream;
class psOStream;
class psCStream;

// The root: name, prompt and the state shared by every kind. The base stands for a parameter with
// a single, textless value, so it gives exactly one pass.
class psParameter {
public:
    // An empty prompt means "ask with the name".
    psParameter(psString name = psString(), psString prompt = psString());
    virtual ~psParameter() {}

    // Re-initialises the common fields: iterating, flags and the deprecated mark cleared, input on.
    void init(psString name, psString prompt);

    virtual void reset();
    virtual psString valueString() const;
    virtual psString defaultString() const;
    // The valid texts joined by "|", or "" when anything goes.
    virtual psString validString() const;
    // name + " = " + defaultString().
    virtual psString description() const;
    // The question asked at the console: the prompt, with " {" + validString() + "}" when that
    // is not empty.
    virtual psString prompt() const;
    virtual void resetIterator();
    virtual bool firstValue();
    virtual bool nextValue();
    virtual bool isDeprecatedParm() const;
    virtual bool isDeprecatedValue() const;
    virtual bool setDeprecatedFlag(bool on);
    virtual void toOStream(psOStream& os) const;
    // The fixed csv column of the parameter, or -1 to take the next cell.
    virtual int colmIndex() const;
    virtual void toCStream(psCStream& cs) const;
    virtual void nameToCStream(psCStream& cs) const;
    // Reads the value from the input, prints the outcome on g_ostrm, and keeps the previous value
    // when the text is invalid.
    virtual void fromIStream(psIStream& is);
    // Sets the value from a text; throws psException for an invalid one.
    virtual void translate(psString text);

    const psString& getName() const { return m_name; }
    // The prompt as set, without the valid values.
    const psString& getPrompt() const { return m_prompt; }
    void setPrompt(psString prompt);
    void doInput(bool on) { m_input = on; }
    bool doInput() const { return m_input; }
    bool isIterating() const { return m_iterating; }
    int getFlags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }
    // While set, the csv cell shows the deprecation note instead of the value.
    bool isDeprecated() const { return m_deprecated; }
    const psString& getDeprecationNote() const { return m_deprecationNote; }

protected:
    psString m_name;
    psString m_prompt;
    bool m_iterating;
    bool m_input;
    int m_flags;
    bool m_deprecated;
    psString m_deprecationNote;
};

psIStream& operator>>(psIStream& is, psParameter& parm);
psOStream& operator<<(psOStream& os, const psParameter& parm);
psCStream& operator<<(psCStream& cs, const psParameter& parm);

// The two failures of reading a text, raised as psException (kept out of line so that this header
// does not depend on the exception's).
[[noreturn]] void psThrowInvalidValue(const psString& name, const psString& text);
[[noreturn]] void psThrowEmptyIterator();

// Text conversion by the string class, shared by the classes that have one.
template <class T>
psString psValueToText(const T& value)
{
    psString text;
    text << value;
    return text;
}

template <class T>
T psTextToValue(psString& text)
{
    T value = T();
    value << text;
    return value;
}

// One value of type T without text conversion of its own: values read as T's zero and print as "".
template <class T>
class psDefault_NSC : public psParameter {
public:
    psDefault_NSC() : m_value() {}
    psDefault_NSC(T value, psString name, psString prompt = psString())
        : psParameter(name, prompt), m_value(value)
    {
    }

    using psParameter::init;
    // Name and prompt set to name, value to zero.
    void init(psString name)
    {
        psParameter::init(name, name);
        m_value = T();
    }

    void reset() override
    {
        psParameter::reset();
        m_value = T();
    }
    psString valueString() const override { return valueToString(value()); }
    bool isDeprecatedParm() const override { return !m_deprecatedValues.empty(); }
    // Marks the parameter deprecated when its current value prints like one of the deprecated
    // values, and takes that value's note.
    bool setDeprecatedFlag(bool on) override
    {
        if (on && !m_deprecatedValues.empty()) {
            psString current = valueToString(value());
            typename psList<psString>::const_iterator note = m_deprecatedNotes.begin();
            for (typename psList<T>::const_iterator v = m_deprecatedValues.begin(); v != m_deprecatedValues.end();
                 ++v, ++note) {
                if (valueToString(*v) == current) {
                    m_deprecated = true;
                    m_deprecationNote = *note;
                    return true;
                }
            }
        }
        m_deprecated = false;
        return false;
    }
    void translate(psString text) override { m_value = validItem(text); }

    virtual T value() const { return m_value; }
    virtual psString valueToString(T) const { return psString(); }
    // Sets text's conversion-error flag when the text is not a value.
    virtual T stringToValue(psString&) const { return T(); }
    // The value of one text; throws "Invalid value of <name> = <text>" when it does not convert.
    virtual T validItem(psString text) const
    {
        text.setErrorConvertion(false);
        T v = stringToValue(text);
        if (text.errorConvertion()) psThrowInvalidValue(m_name, text);
        return v;
    }

    operator T() const { return value(); }
    void setValue(T v) { m_value = v; }

    // A value still measured but reported with note in place of the value.
    void addDeprecatedValue(T v, psString note)
    {
        m_deprecatedValues.push_back(v);
        m_deprecatedNotes.push_back(note);
    }
    void resetDeprecatedValues()
    {
        m_deprecatedValues.clear();
        m_deprecatedNotes.clear();
    }

protected:
    T m_value;
    psList<T> m_deprecatedValues;
    psList<psString> m_deprecatedNotes; // parallel to m_deprecatedValues
};

// One value read and printed by the string class: ints in decimal or after "0x" in hexadecimal.
template <class T>
class psDefault : public psDefault_NSC<T> {
public:
    psDefault() {}
    psDefault(T value, psString name, psString prompt = psString()) : psDefault_NSC<T>(value, name, prompt) {}

    psString valueToString(T v) const override { return psValueToText(v); }
    T stringToValue(psString& text) const override { return psTextToValue<T>(text); }
};

// A misalignment in 0 .. PS_ALIGN_MAX-1: any value read is reduced modulo the boundary.
class DefaultAlign : public psDefault<int> {
public:
    DefaultAlign(int value, psString name, psString prompt = psString()) : psDefault<int>(value, name, prompt) {}
    int validItem(psString text) const override;
};

// A shift between buffers in whole boundaries: any value read is rounded down to a multiple of
// PS_ALIGN_MAX.
class DefaultShift : public psDefault<int> {
public:
    DefaultShift(int value, psString name, psString prompt = psString()) : psDefault<int>(value, name, prompt) {}
    int validItem(psString text) const override;
};

// Keys and their names, shared by the two named kinds. An answer selects the first name it
// abbreviates, case-insensitively.
template <class T>
class psNameMap {
public:
    // The name of key, adding the key with an empty name when it is new.
    psString& operator[](const T& key)
    {
        typename psList<psString>::iterator name = m_names.begin();
        for (typename psList<T>::iterator k = m_keys.begin(); k != m_keys.end(); ++k, ++name)
            if (*k == key) return *name;
        m_keys.push_back(key);
        m_names.push_back(psString());
        return m_names.back();
    }
    // "" for a key without a name or no key at all.
    psString nameOf(const T& key) const
    {
        typename psList<psString>::const_iterator name = m_names.begin();
        for (typename psList<T>::const_iterator k = m_keys.begin(); k != m_keys.end(); ++k, ++name)
            if (*k == key) return *name;
        return psString();
    }
    void clearNames()
    {
        m_keys.clear();
        m_names.clear();
    }
    const psList<T>& keys() const { return m_keys; }
    const psList<psString>& names() const { return m_names; }

protected:
    psList<T> m_keys;
    psList<psString> m_names; // parallel to m_keys
};

// One value chosen by name, e.g. the timing method Auto|Manual|Statistic|Iterative.
template <class T>
class psMapDefault : public psDefault_NSC<T>, public psNameMap<T> {
public:
    psMapDefault() {}
    psMapDefault(T value, psString name, psString prompt = psString()) : psDefault_NSC<T>(value, name, prompt) {}

    using psNameMap<T>::operator[];

    psString validString() const override
    {
        psString text;
        for (typename psList<psString>::const_iterator n = this->m_names.begin(); n != this->m_names.end(); ++n) {
            if (n != this->m_names.begin()) text += '|';
            text += *n;
        }
        return text;
    }
    psString valueToString(T v) const override { return this->nameOf(v); }
    T stringToValue(psString& text) const override
    {
        typename psList<T>::const_iterator key = this->m_keys.begin();
        for (typename psList<psString>::const_iterator n = this->m_names.begin(); n != this->m_names.end(); ++n, ++key) {
            if (fitString(text, *n)) {
                text.setErrorConvertion(false);
                return *key;
            }
        }
        text.setErrorConvertion(true);
        return T();
    }
};

// A list of values stepped through one at a time, one measurement per value; the current value
// lives in the psDefault_NSC part. Read as values separated by ";" and written back as "a; b; c".
template <class T>
class psIterator_NSC : public psDefault_NSC<T>, public psList<T> {
public:
    psIterator_NSC() : m_pos(psList<T>::end()) {}
    // A copy starts a fresh pass: a position cannot point into another list.
    psIterator_NSC(const psIterator_NSC& other)
        : psDefault_NSC<T>(other), psList<T>(other), m_pos(psList<T>::end())
    {
        this->m_iterating = false;
    }
    psIterator_NSC& operator=(const psIterator_NSC& other)
    {
        if (this != &other) {
            psDefault_NSC<T>::operator=(other);
            psList<T>::operator=(other);
            m_pos = psList<T>::end();
            this->m_iterating = false;
        }
        return *this;
    }

    // Empty list, name and prompt set to name, value zero.
    void init(psString name)
    {
        psList<T>::clear();
        psDefault_NSC<T>::init(name);
        m_pos = psList<T>::end();
    }
    void init(psString name, T a, T b)
    {
        init(name);
        add(a);
        add(b);
    }

    // Empties the list.
    void reset() override
    {
        psDefault_NSC<T>::reset();
        psList<T>::clear();
        m_pos = psList<T>::end();
    }
    psString defaultString() const override
    {
        psString text;
        for (typename psList<T>::const_iterator v = psList<T>::begin(); v != psList<T>::end(); ++v) {
            if (v != psList<T>::begin()) text += "; ";
            text += this->valueToString(*v);
        }
        return text;
    }
    // The first element after a reset, the next one afterwards; past the end the value is zero and
    // the result false, and the call after that starts again from the first element.
    bool nextValue() override
    {
        if (!this->m_iterating)
            m_pos = psList<T>::begin();
        else if (m_pos != psList<T>::end())
            ++m_pos;
        bool found = m_pos != psList<T>::end();
        this->m_value = found ? *m_pos : T();
        this->m_iterating = found;
        return found;
    }
    // Replaces the list with the values of text ("256; 512;1024"); on any error the old list stays.
    void translate(psString text) override
    {
        psStringList words;
        text.parse(words, ";");
        psList<T> values;
        bool anyWord = false;
        for (psStringList::iterator w = words.begin(); w != words.end(); ++w) {
            w->trim();
            if (w->empty()) continue;
            anyWord = true;
            values.push_back(this->validItem(*w));
        }
        if (!anyWord) psThrowEmptyIterator();
        psList<T>::swap(values);
        m_pos = psList<T>::end();
        this->m_iterating = false;
    }

    virtual void add(T v) { psList<T>::push_back(v); }

protected:
    typename psList<T>::iterator m_pos;
};

// The list with text conversion by the string class: "16; 0x20; 64" holds 16, 32 and 64.
template <class T>
class psIterator : public psIterator_NSC<T> {
public:
    psString valueToString(T v) const override { return psValueToText(v); }
    T stringToValue(psString& text) const override { return psTextToValue<T>(text); }
};

// A list that can also be filled from a range; read and written like any list.
template <class T>
class psStepIterator : public psIterator<T> {
public:
    using psIterator<T>::init;
    // first, first + step, ... up to last; a step of 0 or less gives first alone.
    void init(psString name, T first, T last, T step)
    {
        init(name);
        for (T v = first; v <= last; v += step) {
            this->add(v);
            if (!(step > T()) || v > last - step) break;
        }
    }
    // first, first * factor, ... up to last; a sequence that does not grow stops after first.
    void initMul(psString name, T first, T last, T factor)
    {
        init(name);
        for (T v = first; v <= last; v *= factor) {
            this->add(v);
            if (!(factor > T(1)) || !(v > T()) || v > last / factor) break;
        }
    }
};

// A list whose values may be restricted to a set: after initValidation the values the program put
// into the list are the only ones an input may use.
template <class T>
class psEnumIterator_NCS : public psIterator_NSC<T> {
public:
    psEnumIterator_NCS() : m_validate(false) {}

    // The valid values joined by "|" while validation is active.
    psString validString() const override
    {
        psString text;
        if (!m_validate) return text;
        for (typename psList<T>::const_iterator v = m_valid.begin(); v != m_valid.end(); ++v) {
            if (v != m_valid.begin()) text += '|';
            text += this->valueToString(*v);
        }
        return text;
    }

    // Clears the set, turns validation on and takes every value of the current list.
    virtual void initValidation()
    {
        m_valid.clear();
        m_validate = true;
        addValidation(static_cast<const psList<T>*>(this));
    }
    virtual void resetValidation() { m_valid.clear(); }
    // False when v is already valid.
    virtual bool addValidation(T v)
    {
        if (isValid(v)) return false;
        m_valid.push_back(v);
        return true;
    }
    virtual void addValidation(const psList<T>* values)
    {
        if (!values) return;
        for (typename psList<T>::const_iterator v = values->begin(); v != values->end(); ++v) addValidation(*v);
    }

    bool isValid(const T& v) const
    {
        for (typename psList<T>::const_iterator x = m_valid.begin(); x != m_valid.end(); ++x)
            if (*x == v) return true;
        return false;
    }
    bool validation() const { return m_validate; }
    const psList<T>& validValues() const { return m_valid; }

protected:
    psList<T> m_valid;
    bool m_validate;
};

// The restricted list read by the string class: a value outside the valid set does not convert.
template <class T>
class psEnumIterator : public psEnumIterator_NCS<T> {
public:
    psString valueToString(T v) const override { return psValueToText(v); }
    T stringToValue(psString& text) const override
    {
        T v = psTextToValue<T>(text);
        if (!text.errorConvertion() && this->m_validate && !this->isValid(v)) text.setErrorConvertion(true);
        return v;
    }
};

// A list of named values. An answer names a valid value: the first one, in the order of the valid
// set, whose name it abbreviates.
template <class T>
class psMapIterator : public psEnumIterator_NCS<T>, public psNameMap<T> {
public:
    using psNameMap<T>::operator[];

    psString valueToString(T v) const override { return this->nameOf(v); }
    T stringToValue(psString& text) const override
    {
        for (typename psList<T>::const_iterator v = this->m_valid.begin(); v != this->m_valid.end(); ++v) {
            if (fitString(text, this->nameOf(*v))) {
                text.setErrorConvertion(false);
                return *v;
            }
        }
        text.setErrorConvertion(true);
        return T();
    }
    virtual void resetMap() { this->clearNames(); }
};

#endif
