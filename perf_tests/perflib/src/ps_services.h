// The table through which the session reaches the crypto library's service functions (features,
// cache size, status texts, threads), filled by the registered environment function or by stubs.
#ifndef PS_SERVICES_H
#define PS_SERVICES_H

// The crypto library's service functions as the session calls them. The registered environment
// function fills them with the library's own; whatever stays empty gets a stub that reports the
// function as not supported (-2).
extern int (*kyn_GetCpuFeatures)(unsigned long long* features);
extern unsigned long long (*kyn_GetEnabledCpuFeatures)();
extern int (*kyn_GetMaxCacheSizeB)(int* size);
extern const char* (*kyn_GetStatusString)(int status);
extern int (*kyn_Init)();
extern int (*kyn_SetCpuFeatures)(unsigned long long features);
extern int (*kyn_SetNumThreads)(int threads);
extern int (*kyn_GetNumThreads)(int* threads);

// The status of a service function that is not there.
const int kynStsNotSupported = -2;

// Fills every empty entry of the table with its stub.
void psFillKynStubs();

#endif
