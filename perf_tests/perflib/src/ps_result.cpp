#include "ps_result.h"

namespace {
const char* const resultNames[psResultCount] = {
    "UNDEFINED", "OK",        "ACCURWRN", "BADSTSWRN", "DATAWRN",   "FUNCWRN", "resWRNG_NOT_SUPPORTED_CPU",
    "WRN",       "ACCURFAIL", "DATAFAIL", "FUNCFAIL",  "EXCPTFAIL", "FAIL"};

const char* const resultTexts[psResultCount] = {"was not run",
                                                "successfully",
                                                "wrong measure accuracy",
                                                "modified control status",
                                                "test data note",
                                                "lib function note",
                                                "the functinality is not enabled for current CPU",
                                                "note",
                                                "accuracy fail",
                                                "test data fail",
                                                "lib function fail",
                                                "exception",
                                                "fail"};
} // namespace

psString psResultName(int result)
{
    return (result >= 0 && result < psResultCount) ? psString(resultNames[result]) : psString("UNKNOWN");
}

psString psResultString(int result)
{
    return (result >= 0 && result < psResultCount) ? psString(resultTexts[result]) : psString("unknown result");
}
