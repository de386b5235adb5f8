#include "ky_tzv_symbols.h"

#include <vector>

namespace {
struct Record {
    const char* owner;
    kyTzvNeed need;
};

// Filled by static initialisers of the suites, so created on first use.
std::vector<Record>& records()
{
    static std::vector<Record> all;
    return all;
}
} // namespace

bool kyRegTzvNeeds(const char* owner, std::initializer_list<kyTzvNeed> needs)
{
    for (const kyTzvNeed& need : needs) records().push_back(Record{owner, need});
    return true;
}

const char* kyTzvMissing(const psString& testName, const psString& className)
{
    for (const Record& record : records()) {
        if (record.need.address) continue;
        psString owner(record.owner);
        if (owner == testName || owner == className) return record.need.name;
    }
    return nullptr;
}
