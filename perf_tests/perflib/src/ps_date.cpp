#include "ps_date.h"

psString psDate::ctimeText(time_t t)
{
    char buf[64];
    return psString(ctime_r(&t, buf));
}
