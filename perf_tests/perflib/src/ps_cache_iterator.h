// psCacheIterator: measures a parameter set with all test data inside the largest processor cache
// and again with the data overflowing it, rescaling the wrapped size parameter until the data fit.
#ifndef PS_CACHE_ITERATOR_H
#define PS_CACHE_ITERATOR_H

#include "ps_object.h"
#include "ps_parameter.h"
#include "ps_string.h"

// Rescales a wrapped parameter: (parameter, current size, target size, halve) -> success.
typedef bool (*psCacheAdjust)(psParameter* parm, int current, int target, bool halve);

// Itself a list parameter "cacheIterator" over the modes 0 (in cache) and 1 (out of cache). The
// texts and streams are those of the wrapped parameter, so that one reads and prints as usual.
class psCacheIterator : public psIterator<int> {
public:
    // A repetition after this many attempts gives up.
    static const int maxAttempts = 12;

    psCacheIterator(psParameter& inner, psObject* object, psCacheAdjust adjust);

    psString valueString() const override { return m_inner.valueString(); }
    psString defaultString() const override { return m_inner.defaultString(); }
    psString validString() const override { return m_inner.validString(); }
    psString description() const override { return m_inner.description(); }
    psString prompt() const override { return m_inner.prompt(); }
    void toOStream(psOStream& os) const override { m_inner.toOStream(os); }
    void toCStream(psCStream& cs) const override { m_inner.toCStream(cs); }
    void fromIStream(psIStream& is) override { m_inner.fromIStream(is); }

    // The next mode, starting the wrapped parameter again from its first value.
    bool nextValue() override;
    // One more attempt with a rescaled size; false after maxAttempts or when no new size is found.
    virtual bool repeatValue();
    // Rescales the wrapped parameter when no callback was given; this kind cannot.
    virtual bool setNewValueToParm(int current, int target, bool halve);

    // Checks the data the test allocated for the current set against the window of the mode;
    // false asks for a repetition (repeatValue). Messages go to g_ostrm (PERF) and the comment.
    bool validateSize();
    // The accumulated messages at ERR level, when g_ostrm does not already show PERF lines.
    void outputInfo();

    // "inCache" or "outofCache".
    psString getComment() const;
    // The messages of the current set's attempts.
    const psString& getAdjustments() const { return m_comment; }
    int getMode() const { return value(); }
    int getAttempts() const { return m_attempts; }
    double getLowFactor() const { return m_lowFactor; }

    // The window of accepted sizes: mode 0 from cacheSize() * low factor to 90% of the cache,
    // mode 1 from 105% of the cache up.
    int highSize() const;
    int lowSize() const;
    // The largest cache in bytes; 0 when it is not known.
    static int cacheSize();
    int getObjectSize() const;
    // The bytes of every block the aligned memory manager holds now.
    static int getTotalSize();

    psParameter& getInnerParameter() { return m_inner; }

protected:
    bool setNewValue();

    psParameter& m_inner;
    psObject* m_object;
    int m_attempts;
    int m_objectSize;
    int m_totalSize;
    bool m_lastTooBig;
    double m_lowFactor;
    psString m_comment;
    psCacheAdjust m_adjust;
};

// For an int size parameter: rescales it by a power of two (halving or doubling from the third
// attempt on).
class psCacheIteratorInt : public psCacheIterator {
public:
    psCacheIteratorInt(psIterator<int>& inner, psObject* object, psCacheAdjust adjust);
    psCacheIteratorInt(psStepIterator<int>& inner, psObject* object, psCacheAdjust adjust);

    bool setNewValueToParm(int current, int target, bool halve) override;

    // v scaled by the power of two that brings current just below target; with halve, v halved
    // (current >= target) or doubled. False, v unchanged, when the sizes are not positive or the
    // new value is not in 1 .. INT_MAX.
    static bool updateValue(int& v, int current, int target, bool halve);

private:
    psDefault_NSC<int>& m_intInner;
};

#endif
