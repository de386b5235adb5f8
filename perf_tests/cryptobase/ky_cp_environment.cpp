#include "ky_cp_environment.h"

#include "ps_cache_size.h"
#include "ps_cpu_ticker.h"
#include "ps_hot_list.h"
#include "ps_services.h"

bool kyHasRdtscp()
{
    int32u regs[4] = {0, 0, 0, 0};
    if (cpGetReg(regs, 0x80000001u, 0) != 0) return false;
    return (regs[3] >> 27) & 1u;
}

void kySetKynEnvironment()
{
    kyn_GetCpuFeatures = kyncpGetCpuFeatures;
    kyn_GetEnabledCpuFeatures = kyncpGetEnabledCpuFeatures;
    kyn_Init = kyncpInit;
    kyn_SetCpuFeatures = kyncpSetCpuFeatures;
    kyn_GetStatusString = kyncpGetStatusString;
    kyn_GetMaxCacheSizeB = psGetMaxCacheSizeB;
    kyn_SetNumThreads = kyncpSetNumThreads;
    kyn_GetNumThreads = kyncpGetNumThreads;

    Kyn64u features = 0;
    kyncpGetCpuFeatures(&features);

    // RDTSCP waits for the measured work to retire, so it gives the tighter span when present.
    if (kyHasRdtscp())
        psSetCpuClocks(cpStartTscp, cpStopTscp);
    else
        psSetCpuClocks(cpStartTsc, cpStopTsc);
}

const CryptoLibraryVersion* kyGetKynVersion_kyncp() { return cryptoGetLibVersion(); }

// Names of the general library's functions that a hot-only run (-H) still measures.
static const char* const hotFunctions[] = {
    "kynsDESDecryptCBC",         "kynsDESEncryptCBC",         "kynsDLPSharedSecretDH", "kynsDLPVerifyDSA",
    "kynsECCPVerifyDSA",         "kynsRijndael128DecryptCBC", "kynsRijndael128EncryptCBC",
    "kynsAESDecryptCBC",         "kynsAESEncryptCBC",         "kynsRSA_Decrypt",       "kynsRSA_Encrypt",
};

static bool registerHotFunctions()
{
    for (const char* name : hotFunctions) psRegHotFunction(name);
    return true;
}

[[maybe_unused]] static bool reg_hotFunctions = registerHotFunctions();
