// Program entry: run the one session and leave; the outcome is in the text and files written.
#include "ps_interrupt.h"
#include "ps_malloc.h"
#include "ps_registry.h"
#include "ps_session.h"
#include "ps_trace.h"

int main(int argc, char** argv)
{
    psPrepareProcess();
    psTraceScope scope("main");
    psSession* session = psGetSession();
    if (!session) {
        session = new psSession;
        psRegSession(session);
    }
    session->run(argc, argv);
    // The process ends right after: the blocks still registered are not released one by one.
    psFreeAll();
    return 0;
}
