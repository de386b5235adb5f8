#include "ps_services.h"

#include "ps_cache_size.h"

namespace {
int s_kynGetCpuFeatures(unsigned long long*) { return kynStsNotSupported; }
unsigned long long s_kynGetEnabledCpuFeatures() { return 0; }
const char* s_kynGetStatusString(int status) { return status < 0 ? "Fail" : (status > 0 ? "Note" : "OK"); }
int s_kynInit() { return kynStsNotSupported; }
int s_kynSetCpuFeatures(unsigned long long) { return kynStsNotSupported; }
int s_kynSetNumThreads(int) { return kynStsNotSupported; }
int s_kynGetNumThreads(int*) { return kynStsNotSupported; }
} // namespace

int (*kyn_GetCpuFeatures)(unsigned long long*) = nullptr;
unsigned long long (*kyn_GetEnabledCpuFeatures)() = nullptr;
int (*kyn_GetMaxCacheSizeB)(int*) = nullptr;
const char* (*kyn_GetStatusString)(int) = nullptr;
int (*kyn_Init)() = nullptr;
int (*kyn_SetCpuFeatures)(unsigned long long) = nullptr;
int (*kyn_SetNumThreads)(int) = nullptr;
int (*kyn_GetNumThreads)(int*) = nullptr;

void psFillKynStubs()
{
    if (!kyn_GetCpuFeatures) kyn_GetCpuFeatures = s_kynGetCpuFeatures;
    if (!kyn_GetEnabledCpuFeatures) kyn_GetEnabledCpuFeatures = s_kynGetEnabledCpuFeatures;
    if (!kyn_GetMaxCacheSizeB) kyn_GetMaxCacheSizeB = psGetMaxCacheSizeB;
    if (!kyn_GetStatusString) kyn_GetStatusString = s_kynGetStatusString;
    if (!kyn_Init) kyn_Init = s_kynInit;
    if (!kyn_SetCpuFeatures) kyn_SetCpuFeatures = s_kynSetCpuFeatures;
    if (!kyn_SetNumThreads) kyn_SetNumThreads = s_kynSetNumThreads;
    if (!kyn_GetNumThreads) kyn_GetNumThreads = s_kynGetNumThreads;
}
