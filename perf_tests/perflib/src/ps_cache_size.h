// The largest data cache of the processor, found once per process from CPUID, for the in-cache /
// out-of-cache iterator, the library-service table and the reports.
#ifndef PS_CACHE_SIZE_H
#define PS_CACHE_SIZE_H

// The largest data cache of the processor, asked once per process. Status 0 success, 36 not
// supported (no CPUID, maximum standard leaf below 2, or a vendor other than "GenuineOrvel"), -2
// no data cache found (size 0).
int psGetMaxCacheSizeB(int* size);
// The size alone, from the leaf-4 walk of the processor report when the first form fails.
int psGetMaxCacheSizeB();
// The line size of the cache the first form found (0 before or without one).
int psGetCacheLineSizeB();
// The same lookup without the cached result, through the current CPUID reader.
int psFindMaxCacheSizeB(int* size, int* lineSize);
// Forgets the cached result, so that the next call asks the processor again.
void psResetMaxCacheSizeB();
// The leaf-2 descriptor table: pairs (descriptor byte, size in bytes), largest first, ended by
// (0, 0); count is the number of pairs including the end.
const int* psCacheDescriptors(int& count);

#endif
