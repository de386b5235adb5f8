// The version of the Performance System and the date this program was built.
#ifndef PS_VERSION_H
#define PS_VERSION_H

#define PS_version "2.0"

// The compile date, "Mar 26 2026" (a day below 10 is padded with a blank, as the compiler writes it).
inline const char* psBuildDate() { return __DATE__; }

#endif
