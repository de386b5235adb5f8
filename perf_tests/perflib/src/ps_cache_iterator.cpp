#include "ps_cache_iterator.h"

#include <climits>

#include "ps_cache_size.h"
#include "ps_malloc.h"
#include "ps_ostream.h"
#include "ps_services.h"

namespace {
// Low factors at or below this cannot be lowered further.
const double lowestFactor = 0.01;
const double initialLowFactor = 0.1;

bool factorAtLowest(double factor) { return factor - 0.0001 <= lowestFactor; }
} // namespace

psCacheIterator::psCacheIterator(psParameter& inner, psObject* object, psCacheAdjust adjust)
    : m_inner(inner), m_object(object), m_attempts(0), m_objectSize(0), m_totalSize(0), m_lastTooBig(false),
      m_lowFactor(initialLowFactor), m_adjust(adjust)
{
    init("cacheIterator", 0, 1);
}

bool psCacheIterator::nextValue()
{
    m_attempts = 0;
    m_comment = psString();
    m_lowFactor = initialLowFactor;
    if (!psIterator<int>::nextValue()) return false;
    return m_inner.firstValue();
}

bool psCacheIterator::repeatValue()
{
    ++m_attempts;
    if (m_attempts >= maxAttempts) return false;
    return setNewValue();
}

bool psCacheIterator::setNewValueToParm(int, int, bool) { return false; }

bool psCacheIterator::setNewValue()
{
    int current, target;
    if (m_totalSize > highSize()) {
        current = m_totalSize;
        target = highSize();
    } else {
        current = m_objectSize;
        target = lowSize();
    }
    bool halve = m_attempts >= 2;
    if (m_adjust) return m_adjust(&m_inner, current, target, halve);
    return setNewValueToParm(current, target, halve);
}

bool psCacheIterator::validateSize()
{
    m_objectSize = getObjectSize();
    m_totalSize = getTotalSize();
    if (m_objectSize == 0) m_objectSize = m_totalSize;
    bool tooSmall = m_objectSize < lowSize();
    bool tooBig = m_totalSize > highSize();
    if (!tooSmall && !tooBig) {
        m_attempts = 0;
        m_comment = psString();
        return true;
    }

    psString message;
    if (tooSmall) {
        message << "      " << getComment() << " try: cacheParm=" << m_inner.valueString()
                << (m_object ? " objectSize=" : " totalSize=") << m_objectSize << " < " << lowSize() << "\n";
    }
    if (tooBig) {
        message << "      " << getComment() << " try: cacheParm=" << m_inner.valueString() << " totalSize=" << m_totalSize
                << " > " << highSize() << "\n";
    }
    m_comment += message;
    g_ostrm << PERF << message << msgRestore;

    if (tooSmall && tooBig) {
        // The data around the object alone overflow the window: only a wider window can help.
        if (factorAtLowest(m_lowFactor))
            m_attempts = maxAttempts;
        else
            m_lowFactor = lowestFactor;
    } else if (m_attempts >= 2 && tooSmall && m_lastTooBig) {
        // Swinging between too big and too small: the window is narrower than one step of two.
        if (factorAtLowest(m_lowFactor)) {
            m_attempts = maxAttempts;
        } else {
            m_lowFactor = lowestFactor;
            return validateSize();
        }
    }
    m_lastTooBig = tooBig;
    return false;
}

void psCacheIterator::outputInfo()
{
    if (g_ostrm.getOutLevel() < PERF) g_ostrm << ERR << m_comment << msgRestore;
}

psString psCacheIterator::getComment() const { return getMode() == 0 ? "inCache" : "outofCache"; }

int psCacheIterator::highSize() const
{
    if (getMode() != 0) return INT_MAX;
    return (int)(cacheSize() * 0.9);
}

int psCacheIterator::lowSize() const
{
    if (getMode() != 0) return (int)(cacheSize() * 1.05);
    return (int)(cacheSize() * m_lowFactor);
}

int psCacheIterator::cacheSize()
{
    int size = 0;
    int status = kyn_GetMaxCacheSizeB ? kyn_GetMaxCacheSizeB(&size) : psGetMaxCacheSizeB(&size);
    return status == 0 && size > 0 ? size : 0;
}

int psCacheIterator::getObjectSize() const { return m_object ? m_object->objectSize() : 0; }

int psCacheIterator::getTotalSize()
{
    long long total = 0;
    int size = 0;
    void* pointer = nullptr;
    for (bool more = psMallocFirst(&size, &pointer); more; more = psMallocNext(&size, &pointer))
        if (size > 0) total += size;
    return total > INT_MAX ? INT_MAX : (int)total;
}

psCacheIteratorInt::psCacheIteratorInt(psIterator<int>& inner, psObject* object, psCacheAdjust adjust)
    : psCacheIterator(inner, object, adjust), m_intInner(inner)
{
}

psCacheIteratorInt::psCacheIteratorInt(psStepIterator<int>& inner, psObject* object, psCacheAdjust adjust)
    : psCacheIterator(inner, object, adjust), m_intInner(inner)
{
}

bool psCacheIteratorInt::setNewValueToParm(int current, int target, bool halve)
{
    int v = m_intInner.value();
    if (!updateValue(v, current, target, halve)) return false;
    m_intInner.setValue(v);
    return true;
}

bool psCacheIteratorInt::updateValue(int& v, int current, int target, bool halve)
{
    if (current <= 0 || target <= 0) return false;
    long long scaled;
    if (halve) {
        scaled = current >= target ? (long long)v / 2 : (long long)v * 2;
    } else {
        double x = current;
        int e = 0;
        while (x <= target) {
            x *= 2;
            ++e;
        }
        while (x >= target) {
            x /= 2;
            --e;
        }
        // A shift this far leaves nothing of an int either way.
        if (e > 62 || e < -62) return false;
        long long value = v;
        if (e >= 1) {
            if (value > (LLONG_MAX >> e) || value < (LLONG_MIN >> e)) return false;
            scaled = value * (1LL << e);
        } else {
            scaled = value >> -e;
        }
    }
    if (scaled < 1 || scaled > INT_MAX) return false;
    v = (int)scaled;
    return true;
}
