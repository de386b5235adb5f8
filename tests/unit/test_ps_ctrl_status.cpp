// The floating-point control/status watch and the signal guard.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "ps_ctrl_status.h"
#include "ps_exception.h"
#include "ps_signal.h"

namespace {

// A model of the x87 and SSE registers, standing in for the accessor so that the watch logic can
// be seen at work: the real accessor of this build never touches the hardware.
struct FakeRegisters {
    unsigned cw, sw, mxcsr;
    int destroyed;
};
FakeRegisters regs;

int fakeAccessor(int op, unsigned value, unsigned mask)
{
    switch (op) {
    case 1: regs.cw = (regs.cw & ~mask) | (value & mask); return 0;
    case 2: return (int)regs.cw;
    case 3: return (int)regs.sw;
    case 4: regs.sw &= ~0x3fu; return 0;
    case 5: regs.mxcsr = (regs.mxcsr & ~mask) | (value & mask); return 0;
    case 6: return (int)regs.mxcsr;
    case 7: ++regs.destroyed; return 0;
    default: return -1;
    }
}

class FakeFpu : public ::testing::Test {
protected:
    void SetUp() override
    {
        regs = FakeRegisters{0xffffffffu, 0, 0xffffffffu, 0};
        m_old = psSetFpuSsxAccessor(fakeAccessor);
        m_x87Exception = ts87Base::Exception;
        m_ssxException = tsSSXBase::Exception;
        m_wFlag = is_W_flagUsed;
    }
    void TearDown() override
    {
        psSetFpuSsxAccessor(m_old);
        ts87Base::Exception = m_x87Exception;
        tsSSXBase::Exception = m_ssxException;
        is_W_flagUsed = m_wFlag;
    }

private:
    psFpuSsxAccessor m_old = nullptr;
    unsigned m_x87Exception = 0, m_ssxException = 0;
    bool m_wFlag = false;
};

} // namespace

TEST(CtrlStatus, StatusTexts)
{
    // Bits above the six flags (stack fault, busy, condition codes, SSE masks) are not flags.
    const struct { unsigned word; const char* text; } words[] = {
        {0, "Ok"}, {0x21, "?Invalid _Inexact "}, {0x3f, "?Invalid ?Denormal ?Zerodivide ?Overflow ?Underflow _Inexact "},
        {0xffc0, "Ok"}, {0x0c, "?Zerodivide ?Overflow "}};
    tsSSXBase sse(true);
    for (const auto& w : words) {
        EXPECT_STREQ(ts87Base::strSW(w.word).c_str(), w.text) << w.word;
        EXPECT_STREQ(sse.strExceptionState(w.word).c_str(), w.text) << w.word;
    }
    EXPECT_STREQ(tsSSXBase(false).strExceptionState(0x0c).c_str(), "cpu has not SSX extension");
}

TEST_F(FakeFpu, X87WatchCollectsFlagsOverBlocksUntilCleared)
{
    ps87 watch;
    watch.init();
    EXPECT_EQ(regs.cw & 0xf3fu, 0x23bu); // 53-bit precision, nearest, all masked but zero-divide
    EXPECT_EQ(regs.cw & ~0xf3fu, 0xffffffffu & ~0xf3fu) << "bits outside the mask must stay";
    EXPECT_EQ(watch.getSW(), 0u);

    regs.sw = 0x01; // left over from before the block: start clears it
    watch.start();
    regs.sw |= 0x20; // the measured function only rounded
    watch.stop();
    EXPECT_EQ(watch.getSW(), 0x20u);
    EXPECT_FALSE(watch.badStatus());

    watch.start();
    regs.sw |= 0x04; // the next block divided by zero
    watch.stop();
    EXPECT_EQ(watch.getSW(), 0x24u);
    EXPECT_TRUE(watch.badStatus());
    EXPECT_EQ(std::string(watch.strSW().c_str()), "?Zerodivide _Inexact ");

    // A function that changed the control word shows it in the collected word.
    watch.start();
    regs.cw |= 0xc00; // rounding toward zero
    watch.stop();
    EXPECT_EQ(watch.getCW() & 0xc00u, 0xc00u);

    watch.clear();
    EXPECT_EQ(watch.getSW(), 0u);
    EXPECT_EQ(watch.getCW(), 0u);
    EXPECT_EQ(regs.sw & 0x3fu, 0u);
    EXPECT_FALSE(watch.badStatus());
}

TEST_F(FakeFpu, SseWatchAndItsAbsence)
{
    psSSX watch(true);
    watch.init();
    EXPECT_EQ(regs.destroyed, 1);
    EXPECT_EQ(regs.mxcsr & 0xffbfu, 0x9f80u); // flush to zero, all masked, nearest, no flags
    EXPECT_EQ(regs.mxcsr & 0x40u, 0x40u) << "denormals-are-zero is not ours to change";

    watch.start();
    EXPECT_EQ(regs.destroyed, 2);
    regs.mxcsr |= 0x0c;
    watch.stop();
    EXPECT_TRUE(watch.badStatus());
    EXPECT_EQ(std::string(watch.strExceptionState().c_str()), "?Zerodivide ?Overflow ");

    watch.clear();
    EXPECT_EQ(watch.get(), 0u);
    EXPECT_EQ(regs.mxcsr & 0x3fu, 0u);
    EXPECT_FALSE(watch.badStatus());

    // Without SSE nothing is touched and nothing is ever bad.
    regs = FakeRegisters{0, 0, 0x3f, 0};
    psSSX absent(false);
    absent.init();
    absent.start();
    absent.stop();
    EXPECT_EQ(regs.mxcsr, 0x3fu);
    EXPECT_EQ(regs.destroyed, 0);
    EXPECT_EQ(absent.get(), 0u);
    EXPECT_FALSE(absent.badStatus());
}

TEST_F(FakeFpu, UnmaskingWithW)
{
    is_W_flagUsed = false;
    psCtrlStatusInit();
    EXPECT_EQ(regs.cw & 0xf3fu, 0x23bu);
    EXPECT_EQ(regs.mxcsr & 0xffbfu, 0x9f80u);

    is_W_flagUsed = true;
    psCtrlStatusInit();
    // Only inexact stays masked: a faulting operation traps at once.
    EXPECT_EQ(regs.cw & 0xf3fu, 0x220u);
    EXPECT_EQ(regs.mxcsr & 0xffbfu, 0x9000u);

    psUnmaskFpExceptions();
    EXPECT_EQ(ts87Base::Exception, 0x20u);
    EXPECT_EQ(tsSSXBase::Exception, 0x1000u);
}

namespace {
void segfault()
{
    void* volatile address = nullptr;
    void* p = address;
    // A store through null, out of sight of the sanitizers' null checks.
    asm volatile("movl $1, (%0)" : : "r"(p) : "memory");
}

void divideByZero()
{
    volatile unsigned divisor = 0;
    unsigned d = divisor;
    unsigned quotient;
    asm volatile("xorl %%edx, %%edx\n\tmovl $7, %%eax\n\tdivl %1" : "=&a"(quotient) : "c"(d) : "edx");
    (void)quotient;
}

std::string guardedMessage(void (*fault)(), std::string* info = nullptr)
{
    try {
        psGuardedCall([fault]() { fault(); });
    } catch (const psException& e) {
        if (info) *info = e.info();
        return e.msg();
    }
    return "no exception";
}
} // namespace

TEST(SignalGuard, FaultsBecomeExceptions)
{
    std::string info;
    EXPECT_EQ(guardedMessage(segfault, &info), "--KYN. Signal: Illegal storage access.");
    EXPECT_EQ(info, "Illegal storage access.");
    EXPECT_EQ(tsSignal::code(), SIGSEGV);
    EXPECT_EQ(tsSignal::m_jmpbuf, nullptr) << "the point must be disarmed when the guard is left";

    // The signal mask is restored by the jump: the same fault is caught again and again.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(guardedMessage(divideByZero),
                  "--KYN. Signal: FP fail, such as overflow, division by zero, invalid operation.");
        EXPECT_EQ(tsSignal::code(), SIGFPE);
    }
    EXPECT_EQ(guardedMessage(segfault), "--KYN. Signal: Illegal storage access.");
}

TEST(SignalGuard, OuterPointSurvivesAnInnerGuard)
{
    // Changed between arming and the jump, so volatile to be read reliably afterwards.
    volatile bool innerRan = false;
    std::string message;
    try {
        PS_SIGNAL_GUARD();
        psGuardedCall([&innerRan]() { innerRan = true; });
        segfault(); // must come back to this block, not to the finished inner guard
    } catch (const psException& e) {
        message = e.msg();
    }
    EXPECT_TRUE((bool)innerRan);
    EXPECT_EQ(message, "--KYN. Signal: Illegal storage access.");

    // A fault caught by an inner guard leaves the outer one armed for a later fault.
    volatile int caught = 0;
    try {
        PS_SIGNAL_GUARD();
        try {
            psGuardedCall(divideByZero);
        } catch (const psException&) {
            caught = caught + 1;
        }
        segfault();
    } catch (const psException&) {
        caught = caught + 1;
    }
    EXPECT_EQ((int)caught, 2);
}

