// kyVector: a typed, length-counted buffer of test data placed by the aligned allocator, and the
// reproducible pseudo-random fill that makes every run measure the library on identical data.
#ifndef KY_VECTOR_H
#define KY_VECTOR_H

#include "ps_object.h"
#include "ps_string.h"

// Element types: the width in bits, plus 256 signed, plus 512 floating point, plus 1024 complex
// (a pair of the base type).
enum kyType {
    kyUndef = 0,
    ky8u = 8,
    ky16u = 16,
    ky32u = 32,
    ky64u = 64,
    ky8s = 264,
    ky16s = 272,
    ky32s = 288,
    ky64s = 320,
    ky32f = 544,
    ky64f = 576,
    ky16uc = 1040,
    ky8sc = 1288,
    ky16sc = 1296,
    ky32sc = 1312,
    ky64sc = 1344,
    ky32fc = 1568,
    ky64fc = 1600,
};

const int kyTypeWidthMask = 255;
const int kyTypeSigned = 256;
const int kyTypeFloat = 512;
const int kyTypeComplex = 1024;

// "8u", "32fc", ...; "undef" for 0 and for any code outside the table.
psString kyTypeToString(int code);
// The code of a name of the table; "1u" is also read as 8u; any other name gives kyUndef.
kyType kyStringToType(const psString& name);
// Bytes of one element (both parts of a complex one); 0 for kyUndef.
int kyTypeSize(kyType type);

class kyVector : public psObject {
public:
    explicit kyVector(kyType type = kyUndef);
    // A negative align asks for the run's misalignment (see createVector).
    kyVector(int length, kyType type, int align = -1);
    ~kyVector() override;
    kyVector(const kyVector&) = delete;
    kyVector& operator=(const kyVector&) = delete;

    // Allocates length zero-filled elements through psTest::allocate with this vector as owner,
    // releasing what it held before. A negative align asks for the run's misalignment: -1 when it
    // counts bytes, minus the element size when it counts elements. False when nothing was allocated.
    bool createVector(int length, kyType type, int align = -1);
    void deleteVector();

    kyType getType() const { return m_type; }
    int getLength() const { return m_length; }
    int getElemSize() const { return m_elemSize; }
    void* getData() const { return m_data; }

    // Typed views of the data.
    unsigned char* get8u() const { return static_cast<unsigned char*>(m_data); }
    unsigned short* get16u() const { return static_cast<unsigned short*>(m_data); }
    unsigned int* get32u() const { return static_cast<unsigned int*>(m_data); }
    unsigned long long* get64u() const { return static_cast<unsigned long long*>(m_data); }
    signed char* get8s() const { return static_cast<signed char*>(m_data); }
    short* get16s() const { return static_cast<short*>(m_data); }
    int* get32s() const { return static_cast<int*>(m_data); }
    long long* get64s() const { return static_cast<long long*>(m_data); }
    float* get32f() const { return static_cast<float*>(m_data); }
    double* get64f() const { return static_cast<double*>(m_data); }

    // The shared state of the generator; every kyTest run starts it at 7.
    static unsigned int m_seed;
    static void setRandomSeed(unsigned int seed) { m_seed = seed; }

    // Uniform values in [low, high] clamped to the type's range; complex vectors fill both parts.
    void setRandom(double low, double high);
    void setRandom(double low, double high, unsigned int seed);
    // [-1, 1] for floating-point types, the type's full range otherwise.
    void setRandom();

    // Range limits of the element type (of its parts, for complex types); 0 for kyUndef.
    static double getMin(kyType type);
    static double getMax(kyType type);

    // The elements formatted per type.
    psString getString() const;
    // Each byte as " %02X"; "" for a null pointer or a count below 1.
    static psString getByteString(const void* pointer, int count);
    // count elements of the given type; "" for a null pointer, a count below 1 or kyUndef.
    static psString getDataString(kyType type, const void* pointer, int count);

    // psObject
    int objectSize() const override { return m_length * m_elemSize; }
    psString objectInfo() const override;
    bool reserveCopy() override;
    bool setReservedCopy() override;
    bool deleteReservedCopy() override;

private:
    void memError(int size);

    kyType m_type;
    int m_length;
    int m_elemSize;
    void* m_data;
    unsigned char* m_reserved; // ordinary memory: the copy is not test data
};

#endif
