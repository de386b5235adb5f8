#include "ps_ctrl_status.h"

#include "kyncp.h"

int cpFpuSsx4TS(int, unsigned, unsigned) { return 0; }

namespace {
psFpuSsxAccessor s_accessor = cpFpuSsx4TS;

const char* const statusTexts[6] = {"?Invalid ", "?Denormal ", "?Zerodivide ", "?Overflow ", "?Underflow ", "_Inexact "};

psString statusText(unsigned flags)
{
    psString text;
    for (int bit = 0; bit < 6; ++bit)
        if (flags & (1u << bit)) text += statusTexts[bit];
    return text.empty() ? psString("Ok") : text;
}
} // namespace

psFpuSsxAccessor psSetFpuSsxAccessor(psFpuSsxAccessor accessor)
{
    psFpuSsxAccessor old = s_accessor;
    s_accessor = accessor ? accessor : cpFpuSsx4TS;
    return old;
}

int ps_set_cw_fpu(unsigned value, unsigned mask) { return s_accessor(1, value, mask); }
unsigned ps_get_cw_fpu() { return (unsigned)s_accessor(2, 0, 0); }
unsigned ps_get_sw_fpu() { return (unsigned)s_accessor(3, 0, 0); }
int ps_clear_fpu() { return s_accessor(4, 0, 0); }
int ps_set_ssx(unsigned value, unsigned mask) { return s_accessor(5, value, mask); }
unsigned ps_get_ssx() { return (unsigned)s_accessor(6, 0, 0); }
int ps_destroy_ssx() { return s_accessor(7, 0, 0); }

unsigned ts87Base::Precision = 0x200;
unsigned ts87Base::Exception = 0x3b;
unsigned ts87Base::Rounding = 0;

void ts87Base::setDefault()
{
    clear();
    ps_set_cw_fpu(Precision | Exception | Rounding, 0xf3f);
}

void ts87Base::set(unsigned value, unsigned mask)
{
    clear();
    ps_set_cw_fpu(value, mask);
}

psString ts87Base::strSW(unsigned sw) { return statusText(sw); }

unsigned tsSSXBase::FlushZero = 0x8000;
unsigned tsSSXBase::Exception = 0x1f80;
unsigned tsSSXBase::Rounding = 0;

namespace {
bool librarySeesSSE()
{
    Kyn64u features = 0;
    return kyncpGetCpuFeatures(&features) == kynStsNoErr && (features & kynCPUID_SSE) != 0;
}
} // namespace

tsSSXBase::tsSSXBase() : m_sse(librarySeesSSE()) {}

void tsSSXBase::setDefault()
{
    if (m_sse) ps_set_ssx(Exception | Rounding | FlushZero, 0xffbf);
}

unsigned tsSSXBase::get() { return m_sse ? ps_get_ssx() : 0; }

void tsSSXBase::set(unsigned value, unsigned mask)
{
    if (m_sse) ps_set_ssx(value, mask);
}

void tsSSXBase::clear()
{
    if (m_sse) ps_set_ssx(0, 0x3f);
}

void tsSSXBase::destroy()
{
    if (m_sse) ps_destroy_ssx();
}

psString tsSSXBase::strExceptionState(unsigned v) const
{
    return m_sse ? statusText(v) : psString("cpu has not SSX extension");
}

void ps87::init()
{
    m_cw = m_sw = 0;
    m_base->setDefault();
}

void ps87::clear()
{
    m_cw = m_sw = 0;
    m_base->clear();
}

void ps87::stop()
{
    m_sw |= m_base->getSW();
    m_cw |= m_base->getCW();
}

void psSSX::init()
{
    m_value = 0;
    m_base->destroy();
    m_base->setDefault();
}

void psSSX::clear()
{
    m_value = 0;
    m_base->destroy();
    m_base->clear();
}

ps87 g_ctrl87;
psSSX g_ssx;
bool is_W_flagUsed = false;

void psUnmaskFpExceptions()
{
    is_W_flagUsed = true;
    g_ctrl87.setExceptionValue(0x20);
    g_ssx.setExceptionValue(0x1000);
}

void psCtrlStatusInit()
{
    // The values are set before init so that the very first timing already runs unmasked.
    if (is_W_flagUsed) psUnmaskFpExceptions();
    g_ctrl87.init();
    g_ssx.init();
}

void psCtrlStatusStart()
{
    g_ctrl87.start();
    g_ssx.start();
}

void psCtrlStatusStop()
{
    g_ctrl87.stop();
    g_ssx.stop();
}
