#include "ps_hot_list.h"

namespace {
psStringList* g_pHotList = nullptr;
} // namespace

bool psRegHotFunction(psString name)
{
    psCreateHotList();
    g_pHotList->push_back(name);
    return true;
}

psStringList* psGetHotList() { return g_pHotList; }

void psCreateHotList()
{
    if (!g_pHotList) g_pHotList = new psStringList;
}
