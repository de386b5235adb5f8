#include "ps_conditions.h"

psString RunCondition::groupText(const psTestNames& test) const
{
    switch (m_group) {
    case condFunction:
        return test.function;
    case condTest:
        return test.test;
    default:
        return test.source;
    }
}

int psConditions::count(int group) const
{
    int n = 0;
    for (const_iterator it = begin(); it != end(); ++it)
        if ((*it)->getGroup() == group) ++n;
    return n;
}

int psConditions::count(int group, int kind) const
{
    int n = 0;
    for (const_iterator it = begin(); it != end(); ++it)
        if ((*it)->getGroup() == group && (*it)->getKind() == kind) ++n;
    return n;
}

bool psConditions::tobeRun_or(const psTestNames& test, int group, int kind)
{
    for (iterator it = begin(); it != end(); ++it)
        if ((*it)->getGroup() == group && (*it)->getKind() == kind && (*it)->tobeRun(test)) return true;
    return false;
}

bool psConditions::tobeRun_and(const psTestNames& test, int group)
{
    for (iterator it = begin(); it != end(); ++it)
        if ((*it)->getGroup() == group && (*it)->getKind() == condMust && !(*it)->tobeRun(test)) return false;
    return true;
}

bool psConditions::tobeRun(const psTestNames& test, int group)
{
    if (tobeRun_or(test, group, condEqual)) return true;
    if (count(group) == count(group, condEqual)) return false;
    if (count(group, condOr) > 0 && !tobeRun_or(test, group, condOr)) return false;
    return tobeRun_and(test, group);
}

bool psConditions::tobeRun(const psTestNames& test)
{
    if (empty()) return true;
    for (int group = condFunction; group <= condSource; ++group) {
        if (count(group) == 0) continue;
        bool selected = tobeRun(test, group);
        if (m_logic == logicAnd && !selected) return false;
        if (m_logic == logicOr && selected) return true;
    }
    return m_logic == logicAnd;
}
