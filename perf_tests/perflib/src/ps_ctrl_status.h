// The watch over the floating-point control and status words (x87 and SSE) around the measured
// calls: a library function must leave them as it found them.
#ifndef PS_CTRL_STATUS_H
#define PS_CTRL_STATUS_H

#include "ps_string.h"

// The one access to the control and status registers. Operations: 1 set x87 control bits (value
// under mask), 2 get x87 control word, 3 get x87 status word, 4 clear x87 exception flags, 5 set
// MXCSR bits (value under mask), 6 get MXCSR, 7 reset the SSE state. This build leaves the
// registers alone and answers 0 to everything.
int cpFpuSsx4TS(int op, unsigned value, unsigned mask);

// Every register operation goes through this pointer (cpFpuSsx4TS by default), so a test can put
// a model of the registers in its place. Null brings back the default; the old one is returned.
typedef int (*psFpuSsxAccessor)(int op, unsigned value, unsigned mask);
psFpuSsxAccessor psSetFpuSsxAccessor(psFpuSsxAccessor accessor);

int ps_set_cw_fpu(unsigned value, unsigned mask);
unsigned ps_get_cw_fpu();
unsigned ps_get_sw_fpu();
int ps_clear_fpu();
int ps_set_ssx(unsigned value, unsigned mask);
unsigned ps_get_ssx();
int ps_destroy_ssx();

// The x87 unit. The class-wide defaults make up the control word set before a measurement.
class ts87Base {
public:
    static unsigned Precision; // 0x200: 53-bit precision
    static unsigned Exception; // 0x3b: all masked but zero-divide
    static unsigned Rounding;  // 0: to nearest

    // Clears the flags, then sets exception masks, precision and rounding (mask 0xf3f).
    void setDefault();
    unsigned getCW() { return ps_get_cw_fpu(); }
    unsigned getSW() { return ps_get_sw_fpu(); }
    void set(unsigned value, unsigned mask);
    void clear() { ps_clear_fpu(); }
    // The texts of the flags set in bits 0..5, or "Ok".
    static psString strSW(unsigned sw);
};

// The SSE unit; every operation does nothing on a processor without SSE.
class tsSSXBase {
public:
    static unsigned FlushZero; // 0x8000: flush to zero
    static unsigned Exception; // 0x1f80: all six masked
    static unsigned Rounding;  // 0: to nearest

    // SSE presence from the crypto library's feature mask (bit 0x2).
    tsSSXBase();
    explicit tsSSXBase(bool sse) : m_sse(sse) {}

    bool hasSSE() const { return m_sse; }
    // Sets every MXCSR bit but denormals-are-zero (mask 0xffbf) to the defaults.
    void setDefault();
    unsigned get();
    void set(unsigned value, unsigned mask);
    // Clears the flags, bits 0..5.
    void clear();
    void destroy();
    psString strExceptionState(unsigned v) const;

private:
    bool m_sse;
};

// What the measured calls did to the x87 unit, ORed over every block of calls since init/clear.
class ps87 {
public:
    ps87() : m_base(new ts87Base), m_cw(0), m_sw(0) {}
    ~ps87() { delete m_base; }
    ps87(const ps87&) = delete;
    ps87& operator=(const ps87&) = delete;

    void init();
    void clear();
    void start() { m_base->clear(); }
    void stop();
    psString strSW() const { return ts87Base::strSW(m_sw); }
    bool badStatus() const { return strSW().found("?"); }
    void setExceptionValue(unsigned v) { ts87Base::Exception = v; }
    unsigned getCW() const { return m_cw; }
    unsigned getSW() const { return m_sw; }

private:
    ts87Base* m_base;
    unsigned m_cw;
    unsigned m_sw;
};

// The same for the SSE unit (MXCSR).
class psSSX {
public:
    psSSX() : m_base(new tsSSXBase), m_value(0) {}
    explicit psSSX(bool sse) : m_base(new tsSSXBase(sse)), m_value(0) {}
    ~psSSX() { delete m_base; }
    psSSX(const psSSX&) = delete;
    psSSX& operator=(const psSSX&) = delete;

    void init();
    void clear();
    void start() { m_base->destroy(); }
    void stop() { m_value |= m_base->get(); }
    psString strExceptionState() const { return m_base->strExceptionState(m_value); }
    bool badStatus() const { return strExceptionState().found("?"); }
    void setExceptionValue(unsigned v) { tsSSXBase::Exception = v; }
    unsigned get() const { return m_value; }

private:
    tsSSXBase* m_base;
    unsigned m_value;
};

extern ps87 g_ctrl87;
extern psSSX g_ssx;
// Set by -W: floating-point exceptions are unmasked, so a faulting operation raises SIGFPE.
extern bool is_W_flagUsed;

// -W: only the inexact exception stays masked in both units from the next init on.
void psUnmaskFpExceptions();
// Before a test's timing: with -W (is_W_flagUsed or the -W key) the exceptions are unmasked
// first, then both watches are put into their default state.
void psCtrlStatusInit();
// Around every block of measured calls.
void psCtrlStatusStart();
void psCtrlStatusStop();

#endif
