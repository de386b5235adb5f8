// Which tests a run measures: conditions on the function name (-f), the registration string (-t)
// and the source file (-m), composed by "and" or "or" (-k).
#ifndef PS_CONDITIONS_H
#define PS_CONDITIONS_H

#include "ps_list.h"
#include "ps_string.h"

// What the conditions look at in a test: its function name (-f), its registration string (-t) and
// its source file (-m).
struct psTestNames {
    psString function;
    psString test;
    psString source;
};

enum { condMust = 0, condOr = 1, condEqual = 2 };
enum { condFunction = 0, condTest = 1, condSource = 2 };
enum { logicAnd = 0, logicOr = 1 };

class RunCondition {
public:
    RunCondition(int kind, int group, const psString& pattern) : m_kind(kind), m_group(group), m_pattern(pattern) {}
    virtual ~RunCondition() {}
    virtual bool tobeRun(const psTestNames& test) = 0;
    int getKind() const { return m_kind; }
    int getGroup() const { return m_group; }
    const psString& getPattern() const { return m_pattern; }

protected:
    // The text of the test that this condition's group looks at.
    psString groupText(const psTestNames& test) const;
    bool contains(const psTestNames& test) const { return groupText(test).found(m_pattern); }
    bool equals(const psTestNames& test) const { return groupText(test) == m_pattern; }

    int m_kind;
    int m_group;
    psString m_pattern;
};

#define PS_RUN_CONDITION(name, group, kind, expr)                                                      \
    class name : public RunCondition {                                                                 \
    public:                                                                                            \
        explicit name(const psString& pattern) : RunCondition(kind, group, pattern) {}                 \
        bool tobeRun(const psTestNames& test) override { return expr; }                                     \
    };

PS_RUN_CONDITION(RunCondition_f, condFunction, condOr, contains(test))
PS_RUN_CONDITION(RunCondition_fAnd, condFunction, condMust, contains(test))
PS_RUN_CONDITION(RunCondition_fNot, condFunction, condMust, !contains(test))
PS_RUN_CONDITION(RunCondition_fEqual, condFunction, condEqual, equals(test))
PS_RUN_CONDITION(RunCondition_fEqualNot, condFunction, condMust, !equals(test))
PS_RUN_CONDITION(RunCondition_t, condTest, condOr, contains(test))
PS_RUN_CONDITION(RunCondition_tAnd, condTest, condMust, contains(test))
PS_RUN_CONDITION(RunCondition_tNot, condTest, condMust, !contains(test))
PS_RUN_CONDITION(RunCondition_tEqual, condTest, condEqual, equals(test))
PS_RUN_CONDITION(RunCondition_s, condSource, condOr, contains(test))
PS_RUN_CONDITION(RunCondition_sAnd, condSource, condMust, contains(test))
PS_RUN_CONDITION(RunCondition_sNot, condSource, condMust, !contains(test))
PS_RUN_CONDITION(RunCondition_sEqual, condSource, condEqual, equals(test))
#undef PS_RUN_CONDITION

// The conditions in the order their keys were applied; they live as long as the process.
class psConditions : public psList<RunCondition*> {
public:
    psConditions() : m_logic(logicAnd) {}
    void setLogic(int logic) { m_logic = logic; }
    int getLogic() const { return m_logic; }
    int count(int group) const;
    int count(int group, int kind) const;
    bool tobeRun(const psTestNames& test);
    bool tobeRun(const psTestNames& test, int group);
    bool tobeRun_or(const psTestNames& test, int group, int kind);
    bool tobeRun_and(const psTestNames& test, int group);

private:
    int m_logic;
};

#endif
