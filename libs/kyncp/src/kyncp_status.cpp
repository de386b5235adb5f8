// Status texts.
#include "kyncp.h"

extern "C" const char* kyncpGetStatusString(KynStatus status)
{
    switch (status) {
    case kynStsNoErr: return "kynStsNoErr: No errors";
    case kynStsErr: return "kynStsErr: General error, or the operation is not supported";
    case kynStsBadArgErr: return "kynStsBadArgErr: An argument value is not allowed";
    case kynStsNullPtrErr: return "kynStsNullPtrErr: Null pointer argument";
    case kynStsOutOfRangeErr: return "kynStsOutOfRangeErr: A value is out of its allowed range";
    case kynStsContextMatchErr: return "kynStsContextMatchErr: The buffer is not an initialised context of this kind";
    case kynStsNotSupportedModeErr: return "kynStsNotSupportedModeErr: Unknown method or sign";
    case kynStsLengthErr: return "kynStsLengthErr: A size in words or bits is out of its allowed range";
    case kynStsBadModulusErr: return "kynStsBadModulusErr: The modulus must be odd and at least 3";
    case kynStsIncompleteContextErr: return "kynStsIncompleteContextErr: The context has not been given its value yet";
    case kynStsFeatureNotSupported: return "kynStsFeatureNotSupported: Some requested CPU features are not supported; the others are enabled";
    }
    return "kynStsUnknown: Unknown status code";
}
