#include "ky_cp_test.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <vector>

#include "ky_tzv_symbols.h"
#include "ky_vector.h"
#include "ps_cstream.h"
#include "ps_exception.h"
#include "ps_ostream.h"

unsigned kycpTest::m_seed = 7;

// ---- samples parameter and address list ----

void cpSample_Itr::toCStream(psCStream& cs) const
{
    if (getName().empty()) {
        cs.setNextColm(psString());
    } else if (value() > 0) {
        cs.setNextColm(valueString());
        cs.setNextColm(getPrompt());
    } else {
        cs.setNextColm(description());
    }
}

void cpAddressList::add(void* base, void* derived)
{
    if (base && derived) push_back(cpAddress(base, derived));
}

void* cpAddressList::remove(void* derived)
{
    if (!derived) return nullptr;
    for (iterator it = begin(); it != end(); ++it) {
        if (it->derived == derived) {
            void* base = it->base;
            erase(it);
            return base;
        }
    }
    return nullptr;
}

// ---- deviation ----

psString getDeviationStr(double mean, const double* samples, int count)
{
    if (std::fabs(mean) <= DBL_MIN) throw psException(psString("getDeviationStr: Division by zero"));
    double sum = 0.0;
    for (int i = 0; i < count; ++i) sum += (samples[i] - mean) * (samples[i] - mean);
    double sigma = count > 0 ? std::sqrt(sum / count) : 0.0;
    int percent = (int)(sigma * 100.0 / mean + 0.5);
    psString text;
    text << percent << "%";
    return text;
}

// ---- the test ----

kycpTest::kycpTest(funcCall call, funcInit init, funcLoop loop, funcStat stat, psString name, psString file,
                   psString info)
    : kyTest(call, init, loop, stat, name, file, info)
{
}

kycpTest::~kycpTest() { m_addressList.clear(); }

void kycpTest::beginTest()
{
    initSettings();
    m_seed = 7;
    // A single count of 0: every run starts with a plain measurement unless a test asks for samples.
    m_samples.reset();
    m_samples.init(psString());
    m_samples.setValue(0);
    m_samples.add(0);
    m_samples.setPrompt("samples");
}

psResult kycpTest::runTiming()
{
    int samples = m_samples.value();
    if (samples < 1) return psTest::runTiming();
    return runStatisticTiming((unsigned)samples);
}

bool kycpTest::setStatisticData(int) { return true; }

psResult kycpTest::runStatisticTiming(unsigned samples)
{
    // The accuracy text of the tool as it stands before the first sample heads every sample line.
    psString accuracy = m_tool.getAccuracyStr();
    if (accuracy.empty() || samples == 0) return DATAFAIL;

    std::vector<double> clocks(samples, 0.0);
    psResult worst = UNDEFINED;
    psResult outcome = UNDEFINED;
    bool stopped = false;
    double accuracySum = 0.0, clocksSum = 0.0;
    long long loopsSum = 0;
    for (unsigned i = 0; i < samples; ++i) {
        m_seed = i + 11;
        if (!setStatisticData((int)i)) return DATAFAIL;
        psResult r = psTest::runTiming();
        if (r > worst) {
            if (r >= ACCURFAIL) {
                outcome = r;
                stopped = true;
                break;
            }
            worst = r;
        }
        clocks[i] = m_tool.getFuncTicks();
        accuracySum += m_tool.getMeasAccuracy();
        clocksSum += m_tool.getFuncTicks();
        loopsSum += m_tool.getLoops();

        char line[160];
        std::snprintf(line, sizeof line, "\t\tacc=%5s  nLps=%3d  perf=%5.0f clocks per call", accuracy.c_str(),
                      m_tool.getLoops(), m_tool.getFuncTicks());
        g_ostrm << INFO << line << "\n" << msgRestore;
    }
    if (!stopped) {
        if (worst == ACCURWRN)
            outcome = m_tool.getAccuracy() >= accuracySum / samples ? OK : ACCURWRN;
        else
            outcome = worst;
    }

    double mean = clocksSum / samples;
    long long meanLoops = loopsSum / (long long)samples;
    if (std::fabs(mean) <= DBL_MIN) return DATAFAIL;
    psString deviation = getDeviationStr(mean, clocks.data(), (int)samples);
    g_ostrm << PERF << "\t\tDeviation of " << samples << " samples = " << deviation << "\n" << msgRestore;
    psString comment;
    comment << "nLps=" << meanLoops << " dev=" << deviation;
    setTimingResult(mean, comment);
    return outcome;
}

void kycpTest::funcToCstrm() { funcToCstrmWithType("8u"); }

void kycpTest::funcToCstrmWithType(psString defaultType)
{
    psString base, type, descriptor;
    m_func.parseFunction(base, type, descriptor);
    g_cstrm.setNextColm(m_func.prefix() + base);
    g_cstrm.setNextColm(type.empty() ? defaultType : type);
    g_cstrm.setNextColm(descriptor);
}

// ---- random words ----

unsigned* kycpTest::rand_32u(unsigned* out, int count, unsigned seed)
{
    kyVector::m_seed = seed; // also for no words: the seed is shared with the data generator
    if (count < 1) return out;
    // The data generator draws doubles; one element at a time keeps the sequence independent of count.
    kyVector one(1, ky64f);
    for (int i = 0; i < count; ++i) {
        one.setRandom(-2147483648.0, 2147483647.0);
        out[i] = (unsigned)(int)one.get64f()[0];
    }
    return out;
}

unsigned* kycpTest::rand_32u(unsigned* out, int count)
{
    rand_32u(out, count, m_seed);
    ++m_seed;
    return out;
}

unsigned kycpTest::rand_32u()
{
    unsigned value = 0;
    rand_32u(&value, 1);
    return value;
}

// ---- one block for the DSA and RSA operands ----

bool kycpTest::allocDSA_RSA(int* sizes, unsigned** parts, int)
{
    int total = 0;
    for (int i = 0; i < 4; ++i) {
        sizes[i] = (sizes[i] + 31) / 32 * 32;
        total += sizes[i];
    }
    unsigned char* block = total > 0 ? static_cast<unsigned char*>(psTest::allocate(total, -1)) : nullptr;
    int offset = 0;
    for (int i = 0; i < 4; ++i) {
        parts[i] = block ? reinterpret_cast<unsigned*>(block + offset) : nullptr;
        offset += sizes[i];
    }
    return block != nullptr;
}

psString kycpTest::missingFunction()
{
    const char* name = kyTzvMissing(m_name, m_info.className);
    return name ? psString(name) : psString();
}
