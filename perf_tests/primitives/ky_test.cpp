#include "ky_test.h"

#include "ky_vector.h"
#include "ps_cstream.h"
#include "ps_malloc.h"
#include "ps_ostream.h"
#include "ps_services.h"
#include "ps_trace.h"

bool kyTest::m_checkErrorsOnly = false;

kyTest::kyTest(funcCall call, funcInit init, funcLoop loop, funcStat stat, psString name, psString file,
               psString info)
    : psTest(call, init, loop, stat, name, file, info), m_func(name)
{
}

psResult kyTest::checkStatus(int status, const psString& name)
{
    if (status == 0) return OK;
    psResult result;
    if (status > 0) {
        if (m_checkErrorsOnly) return OK;
        result = FUNCWRN;
        g_ostrm << WARN << "--KYN NOTE. ";
    } else {
        result = FUNCFAIL;
        g_ostrm << ERR << "--KYN FAIL. ";
    }
    g_ostrm << "status = " << status;
    if (!name.empty()) g_ostrm << " in " << name;
    // Before the session has filled the service table, the built-in texts stand in for the library's.
    if (!kyn_GetStatusString) psFillKynStubs();
    const char* text = kyn_GetStatusString(status);
    g_ostrm << ": " << (text ? text : "") << "\n" << msgRestore;
    updateCurrentResult(result);
    return result;
}

bool kyTest::tobeRun(psConditions& conditions) { return psTest::tobeRun(conditions); }

psResult kyTest::run()
{
    m_checkErrorsOnly = false;
    kyVector::setRandomSeed(7);
    return psTest::run();
}

int kyTest::compareFunc(const psTest* other) const { return m_func.compare(kyFunc(other->getName())); }

void kyTest::funcToCstrm()
{
    psString base, type, descriptor;
    m_func.parseFunction(base, type, descriptor);
    g_cstrm.setNextColm(m_func.prefix() + base);
    g_cstrm.setNextColm(type);
    g_cstrm.setNextColm(descriptor);
}

bool kyTest::isFloatFunction()
{
    return psTest::isFloatFunction() && (m_func.found("32f") || m_func.found("64f"));
}

psString kyTest::regInfo()
{
    psString text = psTest::regInfo();
    int at = text.find("PS_");
    if (at != psString::npos) text = text.substr(0, at) + "KY_" + text.substr(at + 3);
    return text;
}

bool kyTest::printAllMemoryBlocks(psString name)
{
    if (!g_ostrm.beginMessage(DATA)) return false;
    psTraceScope scope("printAllMemoryBlocks");
    printFirstDebugLine(name);
    int index = 0;
    int size;
    void* pointer;
    void* owner;
    for (bool more = psMallocFirst(&size, &pointer, &owner); more; more = psMallocNext(&size, &pointer, &owner)) {
        if (!owner || owner == MEM_OBJECT_IS_SUBOBJECT) continue;
        printFirstBlockLine(++index, owner, size);
        if (owner == MEM_OBJECT_IS_BUFFER) {
            printByteBlock(pointer, size);
        } else {
            printVectorBlock(static_cast<psObject*>(owner));
        }
        printLastBlockLine();
    }
    printLastDebugLine(name);
    g_ostrm.endMessage();
    return index > 0;
}

void kyTest::printFirstDebugLine(psString name)
{
    g_ostrm << "======== OBJECTS OUTPUT START === " << name << " === OBJECTS OUTPUT START ========\n";
}

void kyTest::printLastDebugLine(psString name)
{
    g_ostrm << "======== OBJECTS OUTPUT END === " << name << " === OBJECTS OUTPUT END ========\n";
}

void kyTest::printFirstBlockLine(int index, void* owner, int size)
{
    g_ostrm << "======== Object " << index << ": ";
    if (owner == MEM_OBJECT_IS_BUFFER) {
        g_ostrm << "MemoryBlock size=" << size;
    } else {
        g_ostrm << static_cast<psObject*>(owner)->objectInfo();
    }
    g_ostrm << "\n";
}

void kyTest::printLastBlockLine() { g_ostrm << "\n"; }

void kyTest::printVectorBlock(psObject* object)
{
    // Only data vectors have a text form of their data; other objects show their description alone.
    const kyVector* vector = dynamic_cast<const kyVector*>(object);
    if (vector) g_ostrm << vector->getString();
    g_ostrm << "\n";
}

void kyTest::printByteBlock(const void* pointer, int size) { g_ostrm << kyVector::getByteString(pointer, size) << "\n"; }
