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
    NamedTest(const char* name, const char* info = "TimECC256_TZV//KY_REG", const char* file = "src/p_tzv_ecc")
        : psTest(nullptr, nullptr, nullptr, nullptr, name, file, info)
    {
    }
};

class Selection : public ::testing::Test {
protected:
    Selection()
    {
        const char* names[] = {"tzv_nistp256_ecdsa_sign_mb8_sts_wrapper", "tzv_nistp256_ecdsa_verify_mb8_sts_wrapper",
                               "tzv_nistp256_ecdh_mb8_sts_wrapper", "tzv_sm2_ecdsa_sign_mb8_sts_wrapper",
                               "tzv_sm3_update_mb16_sts_wrapper"};
        for (const char* n : names) tests.emplace_back(new NamedTest(n));
        tests.emplace_back(new NamedTest("tzv_sm4_encrypt_ecb_mb16_sts_wrapper", "TimSM4_TZV//KY_REG", "src/p_tzv_sm4"));
    }
    ~Selection() override
    {
        for (psConditions::iterator it = c.begin(); it != c.end(); ++it) delete *it;
    }
    // The names of the selected tests, shortened to the text between "tzv_" and "_mb".
    std::vector<std::string> selected()
    {
        std::vector<std::string> result;
        for (auto& t : tests) {
            if (!c.tobeRun(t.get())) continue;
            std::string n = t->getName().c_str();
            result.push_back(n.substr(4, n.find("_mb") - 4));
        }
        return result;
    }
    std::vector<std::unique_ptr<psTest>> tests;
    psConditions c;
};
} // namespace

TEST_F(Selection, NoConditionSelectsAll) { EXPECT_EQ(selected().size(), tests.size()); }

TEST_F(Selection, OrMustAndNotPatternsOfOneGroup)
{
    c.push_back(new RunCondition_f("sign"));
    c.push_back(new RunCondition_f("verify"));
    EXPECT_EQ(selected(), (std::vector<std::string>{"nistp256_ecdsa_sign", "nistp256_ecdsa_verify", "sm2_ecdsa_sign"}));
    c.push_back(new RunCondition_fAnd("mb8"));
    c.push_back(new RunCondition_fNot("sm2"));
    EXPECT_EQ(selected(), (std::vector<std::string>{"nistp256_ecdsa_sign", "nistp256_ecdsa_verify"}));
}

TEST_F(Selection, EqualConditionWinsOverMustConditions)
{
    c.push_back(new RunCondition_fEqual("tzv_nistp256_ecdsa_sign_mb8_sts_wrapper"));
    EXPECT_EQ(selected(), (std::vector<std::string>{"nistp256_ecdsa_sign"}));
    c.push_back(new RunCondition_fNot("ecdsa"));
    EXPECT_EQ(selected(), (std::vector<std::string>{"nistp256_ecdsa_sign", "nistp256_ecdh", "sm3_update", "sm4_encrypt_ecb"}));
}

TEST_F(Selection, NotEqualAloneSelectsEverythingElse)
{
    c.push_back(new RunCondition_fEqualNot("tzv_nistp256_ecdsa_sign_mb8_sts_wrapper"));
    EXPECT_EQ(selected().size(), tests.size() - 1);
    EXPECT_NE(selected().front(), "nistp256_ecdsa_sign");
}

TEST_F(Selection, GroupsComposeByAndOrOr)
{
    c.push_back(new RunCondition_f("sm3"));
    c.push_back(new RunCondition_t("SM4"));
    EXPECT_TRUE(selected().empty());
    c.setLogic(logicOr);
    EXPECT_EQ(selected(), (std::vector<std::string>{"sm3_update", "sm4_encrypt_ecb"}));
}

TEST_F(Selection, RegistrationAndSourcePatternsAreCaseSensitive)
{
    c.push_back(new RunCondition_t("sm4"));
    EXPECT_TRUE(selected().empty());
    delete c.front();
    c.clear();
    c.push_back(new RunCondition_tEqual("TimSM4_TZV//KY_REG"));
    EXPECT_EQ(selected(), (std::vector<std::string>{"sm4_encrypt_ecb"}));
    delete c.front();
    c.clear();
    c.push_back(new RunCondition_sEqual("p_tzv_sm4"));
    EXPECT_EQ(selected(), (std::vector<std::string>{"sm4_encrypt_ecb"}));
    // The equal condition keeps the sm4 source; the must-not condition alone keeps the others.
    c.push_back(new RunCondition_sNot("sm4"));
    EXPECT_EQ(selected().size(), tests.size());
    EXPECT_EQ(c.count(condSource), 2);
    EXPECT_EQ(c.count(condSource, condEqual), 1);
}
