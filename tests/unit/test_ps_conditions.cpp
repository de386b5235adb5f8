// Selection of tests by function-name, registration-string and source-file patterns.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ps_conditions.h"
#include "ps_test.h"

namespace {
class NamedTest : public psTest {
public:
    NamedTest(const char* name, const char* info, const char* file)
        : psTest(nullptr, nullptr, nullptr, nullptr, name, file, info)
    {
    }
};

// The selected tests of a condition set, by their short names.
std::string selected(std::initializer_list<RunCondition*> conditions, bool orLogic = false)
{
    static const char* const names[][2] = {
        {"nistp256_ecdsa_sign", "TimECC256_TZV//KY_REG"}, {"nistp256_ecdsa_verify", "TimECC256_TZV//KY_REG"},
        {"nistp256_ecdh", "TimECC256_TZV//KY_REG"},       {"sm2_ecdsa_sign", "TimECC256_TZV//KY_REG"},
        {"sm4_encrypt_ecb", "TimSM4_TZV//KY_REG"}};
    psConditions c;
    for (RunCondition* condition : conditions) c.push_back(condition);
    c.setLogic(orLogic ? logicOr : logicAnd);
    std::string result;
    for (const auto& n : names) {
        const char* file = n[0][2] == '4' ? "src/p_tzv_sm4" : "src/p_tzv_ecc";
        NamedTest test(("tzv_" + std::string(n[0]) + "_mb8").c_str(), n[1], file);
        if (c.tobeRun(psTestNames{test.getName(), test.getRegString(), test.getFile()})) result += std::string(result.empty() ? "" : " ") + n[0];
    }
    for (RunCondition* condition : conditions) delete condition;
    return result;
}
} // namespace

TEST(Selection, PatternKindsOfOneGroupAndGroupsTogether)
{
    const std::string all = "nistp256_ecdsa_sign nistp256_ecdsa_verify nistp256_ecdh sm2_ecdsa_sign sm4_encrypt_ecb";
    EXPECT_EQ(selected({}), all);
    // Or-patterns, narrowed by must and must-not patterns.
    EXPECT_EQ(selected({new RunCondition_f("sign"), new RunCondition_f("verify")}),
              "nistp256_ecdsa_sign nistp256_ecdsa_verify sm2_ecdsa_sign");
    EXPECT_EQ(selected({new RunCondition_f("sign"), new RunCondition_f("verify"), new RunCondition_fNot("sm2")}),
              "nistp256_ecdsa_sign nistp256_ecdsa_verify");
    EXPECT_EQ(selected({new RunCondition_fAnd("ecdsa"), new RunCondition_fNot("verify")}),
              "nistp256_ecdsa_sign sm2_ecdsa_sign");
    // An equal pattern selects its test whatever the others say; alone it selects nothing else.
    EXPECT_EQ(selected({new RunCondition_fEqual("tzv_nistp256_ecdh_mb8")}), "nistp256_ecdh");
    EXPECT_EQ(selected({new RunCondition_fEqual("tzv_nistp256_ecdh_mb8"), new RunCondition_fNot("ecd")}),
              "nistp256_ecdh sm4_encrypt_ecb");
    EXPECT_EQ(selected({new RunCondition_fEqualNot("tzv_nistp256_ecdh_mb8")}),
              "nistp256_ecdsa_sign nistp256_ecdsa_verify sm2_ecdsa_sign sm4_encrypt_ecb");
    // Registration and source patterns, case-sensitive.
    EXPECT_EQ(selected({new RunCondition_t("sm4")}), "");
    EXPECT_EQ(selected({new RunCondition_tEqual("TimSM4_TZV//KY_REG")}), "sm4_encrypt_ecb");
    EXPECT_EQ(selected({new RunCondition_sEqual("p_tzv_sm4"), new RunCondition_sNot("sm4")}), all);
    // Groups compose by AND, or by OR with -kor.
    EXPECT_EQ(selected({new RunCondition_f("sm2"), new RunCondition_t("SM4")}), "");
    EXPECT_EQ(selected({new RunCondition_f("sm2"), new RunCondition_t("SM4")}, true), "sm2_ecdsa_sign sm4_encrypt_ecb");
}
