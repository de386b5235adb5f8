#include "ps_platform.h"

#include <cstdio>

#include <sys/utsname.h>
#include <unistd.h>

psOS::psOS(char* buffer, size_t size) : m_text("")
{
    if (buffer == nullptr || size == 0) return;
    buffer[0] = '\0';
    struct utsname names;
    if (uname(&names) == 0) snprintf(buffer, size, "%s (%s, %s)", names.sysname, names.release, names.machine);
    m_text = buffer;
}

psHost::psHost(char* buffer, size_t size) : m_text("")
{
    if (buffer == nullptr || size == 0) return;
    buffer[0] = '\0';
    gethostname(buffer, size);
    buffer[size - 1] = '\0'; // a cut name need not be terminated
    m_text = buffer;
}
