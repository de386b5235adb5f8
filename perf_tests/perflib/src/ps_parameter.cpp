#include "ps_parameter.h"

#include "ps_cstream.h"
#include "ps_exception.h"
#include "ps_istream.h"
#include "ps_malloc.h"
#include "ps_ostream.h"
#include "ps_signal.h"

void psThrowInvalidValue(const psString& name, const psString& text)
{
    throw psException(psString("Invalid value of ") + name + " = " + text);
}

void psThrowEmptyIterator() { throw psException(psString("Empty iterator definition")); }

psParameter::psParameter(psString name, psString prompt)
    : m_iterating(false), m_input(true), m_flags(0), m_deprecated(false)
{
    init(name, prompt);
}

void psParameter::init(psString name, psString prompt)
{
    m_name = name;
    setPrompt(prompt);
    m_iterating = false;
    m_input = true;
    m_flags = 0;
    m_deprecated = false;
    m_deprecationNote = psString();
}

void psParameter::setPrompt(psString prompt) { m_prompt = prompt.empty() ? m_name : prompt; }

void psParameter::reset() { m_iterating = false; }

psString psParameter::valueString() const { return psString(); }

psString psParameter::defaultString() const { return valueString(); }

psString psParameter::validString() const { return psString(); }

psString psParameter::description() const { return m_name + " = " + defaultString(); }

psString psParameter::prompt() const
{
    psString valid = validString();
    return valid.empty() ? m_prompt : m_prompt + " {" + valid + "}";
}

void psParameter::resetIterator() { m_iterating = false; }

bool psParameter::firstValue()
{
    resetIterator();
    return nextValue();
}

bool psParameter::nextValue()
{
    m_iterating = !m_iterating;
    return m_iterating;
}

bool psParameter::isDeprecatedParm() const { return false; }

bool psParameter::isDeprecatedValue() const { return false; }

bool psParameter::setDeprecatedFlag(bool) { return false; }

void psParameter::toOStream(psOStream& os) const
{
    if (m_name.empty()) return;
    os << m_name + "=" + valueString() + " ";
}

int psParameter::colmIndex() const { return -1; }

void psParameter::toCStream(psCStream& cs) const
{
    // A nameless parameter still takes its cell, so the columns of a line stay in place.
    psString cell;
    if (!m_name.empty()) cell = m_deprecated ? m_deprecationNote : valueString();
    int column = colmIndex();
    if (column >= 0)
        cs.setColm(column, cell);
    else
        cs.setNextColm(cell);
}

void psParameter::nameToCStream(psCStream& cs) const
{
    int column = colmIndex();
    if (column >= 0)
        cs.setColm(column, m_name);
    else
        cs.setNextColm(m_name);
}

void psParameter::fromIStream(psIStream& is)
{
    if (m_name.empty()) return;
    if (!m_input) {
        g_ostrm << psString(" ") + description() + "\n";
        return;
    }
    OutputLevel savedLevel = g_ostrm.getOutLevel();
    // The dialogue shows errors, warnings and performance lines only.
    if (!is.batchMode()) g_ostrm.setOutLevel(ERR | WARN | PERF);
    try {
        // Conversions may run code of a test's own parameter kind; a processor fault there
        // is reported like an invalid value.
        psGuardedCall([&] { translate(is.getItemValue(m_name, defaultString(), prompt(), validString())); });
    } catch (psException& e) {
        g_ostrm << psString("-") + e.info() + "\n";
    }
    g_ostrm << psString(" ") + description() + "\n";
    if (is.source() == srcConsole) c_out.flush();
    g_ostrm.setOutLevel(savedLevel);
}

void psParameter::translate(psString) {}

psIStream& operator>>(psIStream& is, psParameter& parm)
{
    parm.fromIStream(is);
    return is;
}

psOStream& operator<<(psOStream& os, const psParameter& parm)
{
    parm.toOStream(os);
    return os;
}

psCStream& operator<<(psCStream& cs, const psParameter& parm)
{
    parm.toCStream(cs);
    return cs;
}

int DefaultAlign::validItem(psString text) const
{
    int v = psDefault<int>::validItem(text);
    int boundary = psGetAlignMax();
    if (boundary <= 0) return v;
    // Always in 0 .. boundary-1, also for a negative answer.
    int r = v % boundary;
    return r < 0 ? r + boundary : r;
}

int DefaultShift::validItem(psString text) const
{
    int v = psDefault<int>::validItem(text);
    int boundary = psGetAlignMax();
    if (boundary <= 0) return v;
    return v & -boundary;
}
