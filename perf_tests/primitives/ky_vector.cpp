#include "ky_vector.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ps_malloc.h"
#include "ps_ostream.h"
#include "ps_test.h"

unsigned int kyVector::m_seed = 7;

namespace {
struct TypeName {
    kyType code;
    const char* name;
};

const TypeName typeNames[] = {
    {ky8u, "8u"},     {ky16u, "16u"},   {ky32u, "32u"},   {ky64u, "64u"},   {ky8s, "8s"},
    {ky16s, "16s"},   {ky32s, "32s"},   {ky64s, "64s"},   {ky32f, "32f"},   {ky64f, "64f"},
    {ky16uc, "16uc"}, {ky8sc, "8sc"},   {ky16sc, "16sc"}, {ky32sc, "32sc"}, {ky64sc, "64sc"},
    {ky32fc, "32fc"}, {ky64fc, "64fc"}, {kyUndef, "undef"},
};

bool isComplex(kyType type) { return (type & kyTypeComplex) != 0; }
kyType baseType(kyType type) { return static_cast<kyType>(type & ~kyTypeComplex); }

// Truncation toward zero, saturated at the limits of T: values at the very edge of a wide range
// (64-bit types) may round past it, and the conversion must not be undefined.
template <class T>
T truncateTo(double value)
{
    if (value != value) return 0;
    double t = std::trunc(value);
    if (t <= (double)std::numeric_limits<T>::min()) return std::numeric_limits<T>::min();
    if (t >= (double)std::numeric_limits<T>::max()) return std::numeric_limits<T>::max();
    return static_cast<T>(t);
}

// Stores element i of a buffer of the (non-complex) type.
void storeValue(kyType type, void* data, int i, double value)
{
    switch (type) {
    case ky8u: static_cast<unsigned char*>(data)[i] = truncateTo<unsigned char>(value); break;
    case ky16u: static_cast<unsigned short*>(data)[i] = truncateTo<unsigned short>(value); break;
    case ky32u: static_cast<unsigned int*>(data)[i] = truncateTo<unsigned int>(value); break;
    case ky64u: static_cast<unsigned long long*>(data)[i] = truncateTo<unsigned long long>(value); break;
    case ky8s: static_cast<signed char*>(data)[i] = truncateTo<signed char>(value); break;
    case ky16s: static_cast<short*>(data)[i] = truncateTo<short>(value); break;
    case ky32s: static_cast<int*>(data)[i] = truncateTo<int>(value); break;
    case ky64s: static_cast<long long*>(data)[i] = truncateTo<long long>(value); break;
    case ky32f: static_cast<float*>(data)[i] = static_cast<float>(value); break;
    case ky64f: static_cast<double*>(data)[i] = value; break;
    default: break;
    }
}

// Appends count elements with a one-value format.
template <class T, class P>
void appendEach(psString& text, const char* format, const void* pointer, int count)
{
    const T* p = static_cast<const T*>(pointer);
    char cell[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof cell, format, static_cast<P>(p[i]));
        text += cell;
    }
}

// Appends count complex elements (value pairs) with a two-value format.
template <class T, class P>
void appendPairs(psString& text, const char* format, const void* pointer, int count)
{
    const T* p = static_cast<const T*>(pointer);
    char cell[128];
    for (int i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof cell, format, static_cast<P>(p[2 * i]), static_cast<P>(p[2 * i + 1]));
        text += cell;
    }
}
} // namespace

psString kyTypeToString(int code)
{
    for (const TypeName& entry : typeNames) {
        if (entry.code == code) return entry.name;
    }
    return "undef";
}

kyType kyStringToType(const psString& name)
{
    if (name == "1u") return ky8u;
    if (name == "undef") return kyUndef;
    for (const TypeName& entry : typeNames) {
        if (name == entry.name) return entry.code;
    }
    return kyUndef;
}

int kyTypeSize(kyType type)
{
    if (kyTypeToString(type) == "undef") return 0;
    int bytes = (type & kyTypeWidthMask) / 8;
    return isComplex(type) ? 2 * bytes : bytes;
}

kyVector::kyVector(kyType type) : m_type(type), m_length(0), m_elemSize(kyTypeSize(type)), m_data(nullptr), m_reserved(nullptr)
{
}

kyVector::kyVector(int length, kyType type, int align) : kyVector(type) { createVector(length, type, align); }

kyVector::~kyVector() { deleteVector(); }

void kyVector::memError(int size)
{
    g_ostrm << ERR << "-- Memory fail: can't allocate " << size << " bytes\n" << msgRestore;
}

bool kyVector::createVector(int length, kyType type, int align)
{
    deleteVector();
    m_type = type;
    m_elemSize = kyTypeSize(type);
    long long bytes = (long long)length * m_elemSize;
    if (length <= 0 || m_elemSize == 0 || bytes > INT_MAX) {
        memError((int)(bytes > INT_MAX ? INT_MAX : bytes));
        return false;
    }
    int size = (int)bytes;
    if (align < 0) align = psGetAlignByByte() ? -1 : -m_elemSize;
    m_data = psTest::allocate(size, align, static_cast<psObject*>(this));
    if (!m_data) return false;
    std::memset(m_data, 0, size);
    m_length = length;
    return true;
}

void kyVector::deleteVector()
{
    deleteReservedCopy();
    if (m_data) psTest::deallocate(m_data);
    m_data = nullptr;
    m_length = 0;
}

double kyVector::getMin(kyType type)
{
    switch (baseType(type)) {
    case ky8u:
    case ky16u:
    case ky32u:
    case ky64u: return 0.0;
    case ky8s: return -128.0;
    case ky16s: return -32768.0;
    case ky32s: return -2147483648.0;
    case ky64s: return -9223372036854775808.0;
    case ky32f:
    case ky64f: return -getMax(type);
    default: return 0.0;
    }
}

double kyVector::getMax(kyType type)
{
    switch (baseType(type)) {
    case ky8u: return 255.0;
    case ky16u: return 65535.0;
    case ky32u: return 4294967295.0;
    // 2 to the power 63 for both 64-bit types: the largest value the generator's double arithmetic
    // is meant to reach, not the unsigned type's own limit.
    case ky64u:
    case ky64s: return 9223372036854775808.0;
    case ky8s: return 127.0;
    case ky16s: return 32767.0;
    case ky32s: return 2147483647.0;
    // 0.4 of the square root of the largest value: products of two data values stay finite.
    case ky32f: return 0.4 * std::sqrt((double)FLT_MAX);
    case ky64f: return 0.4 * std::sqrt(DBL_MAX);
    default: return 0.0;
    }
}

void kyVector::setRandom(double low, double high)
{
    if (!m_data || m_length <= 0) return;
    kyType type = baseType(m_type);
    int count = isComplex(m_type) ? 2 * m_length : m_length;

    double lo = low > getMin(type) ? low : getMin(type);
    double hi = high < getMax(type) ? high : getMax(type);
    double mid = (hi + lo) * 0.5;
    double scale = (hi - lo) * 2.3283064365387e-10;

    // A subtract-with-borrow sequence (continuing from the shared seed) combined with a congruential
    // one that starts afresh on every fill.
    unsigned int x1 = m_seed;
    unsigned int x2 = 69069u * x1 + 1013904243u;
    unsigned int x3 = 69069u * x2 + 1013904243u;
    unsigned int borrow = 0xFFFFFFFFu;
    unsigned int g = 1131199209u;
    for (int i = 0; i < count; ++i) {
        g = 69069u * g + 1013904243u;
        unsigned int t = x2 - x3 + borrow;
        borrow = (t & 0x80000000u) ? 0xFFFFFFFFu : 0u;
        unsigned int x = t - (borrow & 18u);
        x3 = x2;
        x2 = x1;
        x1 = x;
        storeValue(type, m_data, i, mid + scale * (double)(int)(x1 + g));
    }
    m_seed = x1;
}

void kyVector::setRandom(double low, double high, unsigned int seed)
{
    setRandomSeed(seed);
    setRandom(low, high);
}

void kyVector::setRandom()
{
    kyType type = baseType(m_type);
    if (type & kyTypeFloat) {
        setRandom(-1.0, 1.0);
    } else {
        setRandom(getMin(type), getMax(type));
    }
}

psString kyVector::getByteString(const void* pointer, int count)
{
    psString text;
    if (!pointer) return text;
    appendEach<unsigned char, unsigned int>(text, " %02X", pointer, count);
    return text;
}

psString kyVector::getDataString(kyType type, const void* p, int n)
{
    psString text;
    if (!p || n < 1) return text;
    switch (type) {
    case ky8u: appendEach<unsigned char, unsigned int>(text, "%4u", p, n); break;
    case ky16u: appendEach<unsigned short, unsigned int>(text, "%6u", p, n); break;
    case ky32u: appendEach<unsigned int, unsigned int>(text, "%11u", p, n); break;
    case ky64u: appendEach<unsigned long long, unsigned long long>(text, "%21llu", p, n); break;
    case ky8s: appendEach<signed char, int>(text, "%5d", p, n); break;
    case ky16s: appendEach<short, int>(text, "%7d", p, n); break;
    case ky32s: appendEach<int, int>(text, "%12d", p, n); break;
    case ky64s: appendEach<long long, long long>(text, "%21lld", p, n); break;
    case ky32f: appendEach<float, double>(text, "%14.6g", p, n); break;
    case ky64f: appendEach<double, double>(text, "%20.12g", p, n); break;
    case ky16uc: appendPairs<unsigned short, unsigned int>(text, " (%6u,%6u)", p, n); break;
    case ky8sc: appendPairs<signed char, int>(text, " (%5d,%5d)", p, n); break;
    case ky16sc: appendPairs<short, int>(text, " (%7d,%7d)", p, n); break;
    case ky32sc: appendPairs<int, int>(text, " (%12d,%12d)", p, n); break;
    case ky64sc: appendPairs<long long, long long>(text, " (%21lld,%21lld)", p, n); break;
    case ky32fc: appendPairs<float, double>(text, " (%14.6g,%14.6g)", p, n); break;
    case ky64fc: appendPairs<double, double>(text, " (%20.12g,%20.12g)", p, n); break;
    default: break;
    }
    return text;
}

psString kyVector::getString() const { return getDataString(m_type, m_data, m_length); }

psString kyVector::objectInfo() const
{
    psString text;
    text << "Vector type=" << kyTypeToString(m_type) << " length=" << m_length << " size=" << objectSize();
    return text;
}

bool kyVector::reserveCopy()
{
    if (!m_data) return false;
    if (!m_reserved) m_reserved = new unsigned char[objectSize()];
    std::memcpy(m_reserved, m_data, objectSize());
    return true;
}

bool kyVector::setReservedCopy()
{
    if (!m_data || !m_reserved) return false;
    std::memcpy(m_data, m_reserved, objectSize());
    return true;
}

bool kyVector::deleteReservedCopy()
{
    if (!m_reserved) return false;
    delete[] m_reserved;
    m_reserved = nullptr;
    return true;
}
