/*
 * libkyncp.so.13 -- the general crypto library: the services the Performance System uses around
 * its measurements (processor features, thread count, status texts, time-stamp readings, cache
 * size, version record) and the big-number, Montgomery, PRNG, prime and DLP contexts.
 *
 * Conventions
 * - Every function that can fail returns a KynStatus: 0 success, negative error, positive note.
 *   A null pointer argument gives kynStsNullPtrErr, a size out of its range kynStsLengthErr or
 *   kynStsOutOfRangeErr, a buffer that was not initialised as the expected context
 *   kynStsContextMatchErr.  A function that returns an error leaves its outputs, and the value a
 *   context holds, as they were.
 * - Sizes of big numbers are in 32-bit words; the words of a number are least significant first.
 * - Contexts live in memory the caller allocates with the size the matching ...GetSize function
 *   gives.  The buffer needs no particular alignment (the context is placed at the next 16-byte
 *   boundary inside it, which the size allows for), so a context must not be moved or copied
 *   once initialised.  A context is not safe for simultaneous use from several threads.
 * - The process-wide settings (enabled features, thread count) are safe to read and change from
 *   any thread.
 */
#ifndef KYNCP_H
#define KYNCP_H

#include <stdint.h>

#if defined(__GNUC__)
#define KYNCP_API __attribute__((visibility("default")))
#else
#define KYNCP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Types ------------------------------------------------------------------------------------ */

typedef uint32_t int32u;             /* the same type as in tzvcrypto.h */
typedef int KynStatus;               /* 0 success, negative error, positive note */
typedef unsigned long long Kyn64u;   /* the 64-bit feature word and the counter readings */

/* Status codes.  kyncpGetStatusString has a text for each of them. */
enum {
    kynStsNoErr                 = 0,     /* success */
    kynStsErr                   = -2,    /* general error, or the operation is not supported */
    kynStsBadArgErr             = -5,    /* an argument value is not allowed (e.g. a feature mask of 0) */
    kynStsNullPtrErr            = -8,    /* a pointer argument is null */
    kynStsOutOfRangeErr         = -11,   /* a value does not fit (number too big, thread count < 1, ...) */
    kynStsContextMatchErr       = -13,   /* the buffer is not an initialised context of the right kind */
    kynStsNotSupportedModeErr   = -14,   /* unknown KynsExpMethod or big-number sign */
    kynStsLengthErr             = -15,   /* a size in words or bits is out of its allowed range */
    kynStsBadModulusErr         = -1001, /* modulus is even, or less than 3 */
    kynStsIncompleteContextErr  = -1002, /* the context has not been given its value yet (modulus, seed, domain) */
    kynStsFeatureNotSupported   = 36     /* note: some requested features are not supported; the others were enabled */
};

/* The opaque contexts. */
typedef struct _cpBigNum    _cpBigNum;
typedef struct _cpMontgomery _cpMontgomery;
typedef struct _cpPRNG      _cpPRNG;
typedef struct _cpPrime     _cpPrime;
typedef struct _cpDLP       _cpDLP;

typedef enum { kynsBinaryMethod = 0, kynsSlidingWindows = 1 } KynsExpMethod;
typedef enum { kynsBigNumNEG = 0, kynsBigNumPOS = 1 } KynsBigNumSGN;
typedef enum { kynsComposite = 0, kynsProbablyPrime = 1 } KynsPrimality;

/* The library's version record.  One record exists per code path; cryptoGetLibVersion returns the
 * one of the code path the enabled features select. */
typedef struct CryptoLibraryVersion {
    int major;              /* 13 */
    int minor;              /* 0 */
    int majorBuild;         /* the patch number, 0 */
    int build;              /* build number, 0 for a source build */
    char targetCpu[4];      /* code path label, e.g. "l9" (AVX2) or "k1" (AVX-512 IFMA); NUL-terminated */
    const char* Name;       /* "kyncp" and the code path, e.g. "kyncp AVX2 (l9)" */
    const char* Version;    /* version text, e.g. "13.0.0 (l9)" */
    const char* BuildDate;  /* compile date, e.g. "Mar 26 2026" */
} CryptoLibraryVersion;

#define KYNCP_VERSION_MAJOR 13
#define KYNCP_VERSION_MINOR 0
#define KYNCP_VERSION_PATCH 0

/* ---- Feature bits of the 64-bit feature word ---------------------------------------------------- */

#define kynCPUID_MMX              0x1ULL
#define kynCPUID_SSE              0x2ULL
#define kynCPUID_SSE2             0x4ULL
#define kynCPUID_SSE3             0x8ULL
#define kynCPUID_SSSE3            0x10ULL
#define kynCPUID_MOVBE            0x20ULL
#define kynCPUID_SSE41            0x40ULL
#define kynCPUID_SSE42            0x80ULL
#define kynCPUID_AVX              0x100ULL          /* only when the OS saves YMM state */
#define kynAVX_ENABLEDBYOS        0x200ULL          /* XCR0 has the SSE and AVX state bits */
#define kynCPUID_AES              0x400ULL
#define kynCPUID_CLMUL            0x800ULL
#define kynCPUID_RDRAND           0x2000ULL
#define kynCPUID_F16C             0x4000ULL         /* only when the OS saves YMM state */
#define kynCPUID_AVX2             0x8000ULL         /* only when the OS saves YMM state */
#define kynCPUID_ADCOX            0x10000ULL        /* ADCX and ADOX */
#define kynCPUID_RDSEED           0x20000ULL
#define kynCPUID_PREFETCHW        0x40000ULL
#define kynCPUID_SHA              0x80000ULL
#define kynCPUID_AVX512F          0x100000ULL       /* AVX-512 bits: only when the OS saves ZMM state */
#define kynCPUID_AVX512CD         0x200000ULL
#define kynCPUID_AVX512ER         0x400000ULL
#define kynCPUID_AVX512PF         0x800000ULL
#define kynCPUID_AVX512BW         0x1000000ULL
#define kynCPUID_AVX512DQ         0x2000000ULL
#define kynCPUID_AVX512VL         0x4000000ULL
#define kynCPUID_AVX512VBMI       0x8000000ULL
#define kynCPUID_MPX              0x10000000ULL     /* only when the OS saves the bound registers */
#define kynCPUID_AVX512_4FMADDPS  0x20000000ULL
#define kynCPUID_AVX512_4VNNIW    0x40000000ULL
#define kynCPUID_COPROCESSOR      0x80000000ULL     /* co-processor instruction set; never set on a host */
#define kynCPUID_AVX512IFMA       0x100000000ULL
#define kynAVX512_ENABLEDBYOS     0x200000000ULL    /* XCR0 has the SSE, AVX, opmask and ZMM state bits */
#define kynCPUID_AVX512GFNI       0x400000000ULL    /* GFNI (any encoding) */
#define kynCPUID_AVX512VAES       0x800000000ULL    /* VAES, with OS YMM state */
#define kynCPUID_AVX512VCLMUL     0x1000000000ULL   /* VPCLMULQDQ, with OS YMM state */
#define kynCPUID_AVX512VBMI2      0x2000000000ULL
#define kynCPUID_AVX2VAES         0x4000000000ULL   /* VAES together with AVX2 */
#define kynCPUID_AVX2VCLMUL       0x8000000000ULL   /* VPCLMULQDQ together with AVX2 */
#define kynCPUID_AVX2SM3          0x10000000000ULL
#define kynCPUID_AVX2SM4          0x20000000000ULL
#define kynCPUID_AVX2SHA512       0x40000000000ULL
#define kynCPUID_AVX10_2          0x80000000000ULL  /* AVX10 version 2 or later */

/* Every bit the library knows; no other bit is ever reported or enabled. */
#define kynCPUID_ALL_KNOWN        0xFFFFFFFEFFFULL  /* bit 0x1000 is unused */
/* The bits that describe the OS rather than the processor; they cannot be selected. */
#define kynCPUID_OS_BITS          (kynAVX_ENABLEDBYOS | kynAVX512_ENABLEDBYOS)

/* ---- Processor identification, features, threads, status texts ---------------------------------- */

/* EAX, EBX, ECX, EDX of CPUID (leaf, subleaf) into buf[0..3].  kynStsNullPtrErr for a null buf. */
KYNCP_API KynStatus cpGetReg(int32u buf[4], int32u leaf, int32u subleaf);

/* The features this processor and OS support (CPUID and XCR0). */
KYNCP_API KynStatus kyncpGetCpuFeatures(Kyn64u* pFeatures);

/* Detect the features and enable all supported ones.  Always kynStsNoErr on x86-64. */
KYNCP_API KynStatus kyncpInit(void);

/* Enable the supported features of the mask.  The OS bits follow the OS and are not selected.
 * kynStsBadArgErr for a mask of 0 (nothing changes); kynStsFeatureNotSupported (a note) when the
 * mask asks for a feature that is not supported, the rest being enabled; else kynStsNoErr. */
KYNCP_API KynStatus kyncpSetCpuFeatures(Kyn64u features);

/* The features in use: all supported ones until kyncpSetCpuFeatures chooses fewer. */
KYNCP_API Kyn64u kyncpGetEnabledCpuFeatures(void);

/* Thread count, initially 1 (every function runs on the caller's thread).  Set: n >= 1, else
 * kynStsOutOfRangeErr and nothing changes. */
KYNCP_API KynStatus kyncpSetNumThreads(int numThreads);
KYNCP_API KynStatus kyncpGetNumThreads(int* pNumThreads);

/* "<name>: <description>" for each status code above; "kynStsUnknown: ..." for any other value.
 * Never null. */
KYNCP_API const char* kyncpGetStatusString(KynStatus status);

/* ---- Time-stamp counter --------------------------------------------------------------------------
 * Each returns the processor's time-stamp counter.  The start forms keep earlier work out of the
 * span and later work from starting before the reading; the stop forms read only after the
 * measured work has finished.
 *   cpStartTsc:  LFENCE; RDTSC; LFENCE          cpStopTsc:  LFENCE; RDTSC
 *   cpStartTscp: RDTSCP; LFENCE                 cpStopTscp: RDTSCP; LFENCE
 * RDTSCP waits for all earlier instructions; LFENCE after it keeps later ones from starting
 * early.  On a processor without RDTSCP (CPUID 0x80000001 EDX bit 27 clear) the p forms use the
 * LFENCE forms instead. */
KYNCP_API Kyn64u cpStartTsc(void);
KYNCP_API Kyn64u cpStopTsc(void);
KYNCP_API Kyn64u cpStartTscp(void);
KYNCP_API Kyn64u cpStopTscp(void);
KYNCP_API Kyn64u kyncpGetCpuClocks(void);   /* LFENCE; RDTSC */

/* ---- Cache size ---------------------------------------------------------------------------------- */

/* The largest cache named by the CPUID leaf-2 descriptors of this processor, in bytes.
 * tableCache: pairs (descriptor byte, size in bytes) ended by the pair (0, 0), at most 255 pairs
 * before it (a descriptor is one byte; the walk stops there even without the end).  Returns the size
 * of the largest matching descriptor; kynStsNullPtrErr for a null table, kynStsErr when no
 * descriptor of the processor is in the table (or leaf 2 is not available). */
KYNCP_API int cpGetCacheSize(const int* tableCache);

/* The same lookup over given leaf-2 registers (EAX, EBX, ECX, EDX): the low byte of EAX is the
 * iteration count and no descriptor; a register with bit 31 set holds no descriptors. */
KYNCP_API int cpGetCacheSizeOfRegs(const int32u regs[4], const int* tableCache);

/* ---- Version ------------------------------------------------------------------------------------- */

/* The record of the code path the enabled features select.  Never null. */
KYNCP_API const CryptoLibraryVersion* cryptoGetLibVersion(void);

/* ---- Big numbers ----------------------------------------------------------------------------------
 * A big number holds a sign and up to `length` words (its capacity). */
#define KYNS_BN_MAXWORDS 4096

KYNCP_API KynStatus kynsBigNumGetSize(int length, int* pSize);             /* 1 <= length <= KYNS_BN_MAXWORDS */
KYNCP_API KynStatus kynsBigNumInit(int length, _cpBigNum* pBN);             /* value +0 */
/* Store sign and length words of pData.  Leading zero words may exceed the capacity; significant
 * words beyond it give kynStsOutOfRangeErr.  Zero is always stored as positive. */
KYNCP_API KynStatus kynsSet_BN(KynsBigNumSGN sgn, int length, const int32u* pData, _cpBigNum* pBN);
/* Sign, size in bits (0 for zero) and a pointer to the words inside the context. */
KYNCP_API KynStatus kynsRef_BN(KynsBigNumSGN* pSgn, int* pBitSize, int32u** ppData, const _cpBigNum* pBN);
/* Capacity in words. */
KYNCP_API KynStatus kynsGetSize_BN(const _cpBigNum* pBN, int* pSize);

/* ---- Montgomery ------------------------------------------------------------------------------------
 * A Montgomery context for moduli of up to `length` words; R = 2^(32k) for a modulus of k
 * significant words. */
#define KYNS_MONT_MAXWORDS 1024

KYNCP_API KynStatus kynsMontGetSize(KynsExpMethod method, int length, int* pSize); /* 1 <= length <= KYNS_MONT_MAXWORDS */
KYNCP_API KynStatus kynsMontInit(KynsExpMethod method, int length, _cpMontgomery* pMont);
/* Set an odd modulus >= 3 of `size` words (leading zero words allowed) and its constants. */
KYNCP_API KynStatus kynsMontSet(const int32u* pModulus, int size, _cpMontgomery* pMont);
/* The modulus (k words into pModulus, which must hold them) and k. */
KYNCP_API KynStatus kynsMontGet(int32u* pModulus, int* pSize, const _cpMontgomery* pMont);
/* r = a * R mod m, for 0 <= a < m. */
KYNCP_API KynStatus kynsMontForm(const _cpBigNum* pA, _cpMontgomery* pMont, _cpBigNum* pR);
/* r = a * b / R mod m, for 0 <= a, b < m. */
KYNCP_API KynStatus kynsMontMul(const _cpBigNum* pA, const _cpBigNum* pB, _cpMontgomery* pMont, _cpBigNum* pR);

/* ---- Pseudo-random generator ------------------------------------------------------------------------
 * A deterministic generator: output block i is SHA-256 of the seed and the block counter. */
#define KYNS_PRNG_MIN_SEEDBITS 160
#define KYNS_PRNG_MAX_SEEDBITS 512

KYNCP_API KynStatus kynsPRNGGetSize(int* pSize);
KYNCP_API KynStatus kynsPRNGInit(int seedBits, _cpPRNG* pRnd);             /* MIN <= seedBits <= MAX; not yet seeded */
/* A non-negative seed of at most seedBits bits; restarts the output. */
KYNCP_API KynStatus kynsPRNGSetSeed(const _cpBigNum* pSeed, _cpPRNG* pRnd);
KYNCP_API KynStatus kynsPRNGGetSeed(const _cpPRNG* pRnd, _cpBigNum* pSeed);
/* nBits (>= 1) random bits into (nBits + 31) / 32 words; the unused top bits are 0. */
KYNCP_API KynStatus kynsPRNGen(int32u* pRand, int nBits, _cpPRNG* pRnd);

/* ---- Prime numbers ---------------------------------------------------------------------------------- */
#define KYNS_PRIME_MAXBITS 8192

KYNCP_API KynStatus kynsPrimeGetSize(int maxBits, int* pSize);             /* 2 <= maxBits <= KYNS_PRIME_MAXBITS */
KYNCP_API KynStatus kynsPrimeInit(int maxBits, _cpPrime* pPrime);
/* Miller-Rabin test of a (at most maxBits bits) with nTrials (1..1000) bases drawn from pRnd,
 * after trial division by the primes below 256.  *pResult = kynsProbablyPrime or kynsComposite;
 * numbers below 2 and negative numbers are composite. */
KYNCP_API KynStatus kynsPrimeTest_BN(const _cpBigNum* pA, int nTrials, int32u* pResult,
                                     _cpPrime* pPrime, _cpPRNG* pRnd);

/* ---- Discrete-logarithm domain ---------------------------------------------------------------------- */
#define KYNS_DLP_MIN_PBITS 64
#define KYNS_DLP_MAX_PBITS 8192

/* A domain of a prime P of bitSizeP bits and a subgroup order R of bitSizeR bits:
 * KYNS_DLP_MIN_PBITS <= bitSizeP <= KYNS_DLP_MAX_PBITS and 2 <= bitSizeR < bitSizeP. */
KYNCP_API KynStatus kynsDLPGetSize(int bitSizeP, int bitSizeR, int* pSize);
KYNCP_API KynStatus kynsDLPInit(int bitSizeP, int bitSizeR, _cpDLP* pDL);
/* P and R odd with exactly bitSizeP and bitSizeR bits, 1 < G < P (primality is not checked). */
KYNCP_API KynStatus kynsDLPSet(const _cpBigNum* pP, const _cpBigNum* pR, const _cpBigNum* pG, _cpDLP* pDL);
KYNCP_API KynStatus kynsDLPGet(_cpBigNum* pP, _cpBigNum* pR, _cpBigNum* pG, const _cpDLP* pDL);

#ifdef __cplusplus
}
#endif

#endif /* KYNCP_H */
