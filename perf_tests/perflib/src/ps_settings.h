// The settings the command-line keys make, in one object: the key table of the session writes it,
// and the units that act on a setting (the session run, the dialogue, the timing tool, the test run)
// read it here, directly or through their named statics that refer to its fields.
#ifndef PS_SETTINGS_H
#define PS_SETTINGS_H

#include "ps_string.h"

struct psSettings {
    // -B, -A: console input. Ask mode bits: 1 timing method, 2 common parameters, 4 misalignment,
    // 8 each test's parameters.
    bool batMode = false;
    int askMode = 0;
    // -L: the console output level while the tests run.
    int levelMode = 1;
    // -s-: keep the registration order.
    bool quickMode = false;
    // -e: 100 measures; -1, 0 and 1 list the functions and exit.
    int enumMode = 100;
    // -v, -h, -?: the banner, and the help asked for (0 none, 1 short, else the key letter).
    bool version = false;
    char hintArg = 0;
    bool hintHide = true;
    // -i, -I: the ini file, taken up once every key is applied; the last key decides.
    psString iniName;
    bool iniWrite = false;
    // -g: the signal file's path.
    psString sglName;
    // -q, -Q: name mode bits (1 name lines in the result tables, 2 a name file); name-only run.
    int nameMode = 0;
    bool nameExit = false;
    // -o, -O, -r, -R, -q, -u, -U, -@: a file did not open; the run ends after the report.
    bool unopenedFile = false;
    // -P, -H, -C: read by every test run (pressing mode, hot mode 1 or 2, cache runs).
    bool pressing = false;
    int hot = 0;
    bool cache = false;
    // -F: the first function to test; emptied once it is found.
    psString startFunc;
    // -J, -c, -j, -Y: the timing tool's loop counts, milliseconds per point and priority.
    int numExtLoops = 8;
    int numMilliseconds = 100;
    int minNumLoops = 8;
    int priority = 0;
    // -S: the session's tool measures data set and use together.
    bool realMeasure = false;
    // -T, -N: the crypto library's features (0: its own init) and threads (0: its own setting).
    unsigned long long cpuFeature = 0;
    int numThreads = 0;
    // -d: "name=value" texts in key order, handed to the parameter input once every key is applied.
    psStringList data;
};

// The run's settings. The session resets and fills them from the keys; all others only read them.
extern psSettings g_settings;

#endif
