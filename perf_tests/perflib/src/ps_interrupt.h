// Process-level guards of a run: descriptors 0-2 always valid, a console that went away (SIGPIPE)
// or a file-size limit (SIGXFSZ) turned into write errors, and SIGINT/SIGTERM turned into a flag
// that the run reads between measurements, so an interrupted run still ends with its reports.
#ifndef PS_INTERRUPT_H
#define PS_INTERRUPT_H

// Done once, at the start of main.
void psPrepareProcess();

// The signal that asked the run to stop (SIGINT or SIGTERM), 0 while none did. Read only outside
// the timed spans. A second request ends the process at once.
int psInterrupted();
// "SIGINT", "SIGTERM" or "signal <n>".
const char* psInterruptName(int sig);
// Prints, once, the line saying that the run stops early.
void psReportInterrupt();

#endif
