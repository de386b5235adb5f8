// The floating-point control/status watch and the signal guard.
#include <gtest/gtest.h>

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
    }
    void TearDown() override { psSetFpuSsxAccessor(m_old); }

private:
    psFpuSsxAccessor m_old = nullptr;
};

} // namespace

TEST_F(FakeFpu, WatchesCollectFlagsOverBlocksUntilCleared)
{
    ps87 x87;
    x87.init();
    EXPECT_EQ(regs.cw, (0xffffffffu & ~0xf3fu) | 0x23bu) << "53-bit precision, nearest, all masked but zero-divide";
    regs.sw = 0x01; // left over from before the block: start clears it
    x87.start();
    regs.sw |= 0x20; // the measured function only rounded
    x87.stop();
    EXPECT_FALSE(x87.badStatus());
    x87.start();
    regs.sw |= 0x04;
    x87.stop();
    EXPECT_EQ(x87.getSW(), 0x24u);
    EXPECT_TRUE(x87.badStatus());
    x87.clear();
    EXPECT_FALSE(x87.badStatus());

    psSSX sse(true);
    sse.init();
    EXPECT_EQ(regs.mxcsr, (0xffffffffu & ~0xffbfu) | 0x9f80u) << "flush to zero, all masked, nearest; DAZ kept";
    sse.start();
    regs.mxcsr |= 0x0c;
    sse.stop();
    EXPECT_STREQ(sse.strExceptionState().c_str(), "?Zerodivide ?Overflow ");
    sse.clear();
    EXPECT_FALSE(sse.badStatus());
    // Without SSE nothing is touched and nothing is ever bad.
    regs = FakeRegisters{0, 0, 0x3f, 0};
    psSSX absent(false);
    absent.init();
    absent.start();
    absent.stop();
    EXPECT_EQ(regs.mxcsr, 0x3fu);
    EXPECT_FALSE(absent.badStatus());
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

std::string guardedMessage(void (*fault)())
{
    try {
        psGuardedCall([fault]() { fault(); });
    } catch (const psException& e) {
        return e.msg();
    }
    return "no exception";
}
} // namespace

TEST(SignalGuard, FaultsBecomeExceptionsAgainAndAgainAndReachTheInnermostGuard)
{
    EXPECT_EQ(guardedMessage(segfault), "--KYN. Signal: Illegal storage access.");
    EXPECT_EQ(tsSignal::m_jmpbuf, nullptr) << "the point must be disarmed when the guard is left";
    // The signal mask is restored by the jump: the same fault is caught again.
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(guardedMessage(divideByZero),
                  "--KYN. Signal: FP fail, such as overflow, division by zero, invalid operation.");

    // A fault caught by an inner guard leaves the outer one armed; a finished inner guard does too.
    volatile int caught = 0;
    try {
        PS_SIGNAL_GUARD();
        try {
            psGuardedCall(divideByZero);
        } catch (const psException&) {
            caught = caught + 1;
        }
        psGuardedCall([] {});
        segfault();
    } catch (const psException&) {
        caught = caught + 1;
    }
    EXPECT_EQ((int)caught, 2);
}
