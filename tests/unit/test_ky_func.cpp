// The function-name model: splitting names into prefix, base, types and descriptor, and their order.
#include <gtest/gtest.h>

#include <string>

#include "ky_func.h"

namespace {
struct Parts {
    std::string base, type, descriptor;
};

Parts split(const char* name)
{
    psString base, type, descriptor;
    kyFunc(name).parseFunction(base, type, descriptor);
    return {base.c_str(), type.c_str(), descriptor.c_str()};
}

int sign(int v) { return (v > 0) - (v < 0); }
} // namespace

TEST(KyFunc, SplitsNamesAtTheFirstTypedUnderscore)
{
    kyFunc add("kynsAdd_32f_I");
    EXPECT_EQ(add.prefix(), "kyns");
    EXPECT_EQ(add.baseName(), "Add");
    EXPECT_EQ(add.typeName(), "32f");
    EXPECT_EQ(add.descrName(), "I");

    // Multi-buffer names have no type part: no prefix, the whole name is the base.
    kyFunc mb("tzv_nistp256_ecdsa_sign_mb8");
    EXPECT_EQ(mb.prefix(), "");
    EXPECT_EQ(mb.baseName(), "tzv_nistp256_ecdsa_sign_mb8");
    EXPECT_EQ(mb.typeName(), "");
    EXPECT_EQ(mb.descrName(), "");

    Parts p = split("tzv_sm3_update_mb16_sts_wrapper");
    EXPECT_EQ(p.base, "tzv_sm3_update_mb16_sts_wrapper");
    EXPECT_EQ(p.type, "");

    // The first underscore followed by a type token decides; later ones belong to the descriptor.
    p = split("kyniFilter_Box_8u32f_C1R_Sfs");
    EXPECT_EQ(p.base, "Filter_Box");
    EXPECT_EQ(p.type, "8u32f");
    EXPECT_EQ(p.descriptor, "C1R_Sfs");

    p = split("kynsMul_16sc");
    EXPECT_EQ(p.base, "Mul");
    EXPECT_EQ(p.type, "16sc");
    EXPECT_EQ(p.descriptor, "");

    // Digits alone, or digits with another letter, are no type.
    p = split("cpSome_2048_x_8bit");
    EXPECT_EQ(p.base, "cpSome_2048_x_8bit");
    EXPECT_EQ(p.type, "");

    // Only "kyns" and "kyni" are prefixes.
    p = split("kynxAdd_32f");
    EXPECT_EQ(kyFunc("kynxAdd_32f").prefix(), "");
    EXPECT_EQ(p.base, "kynxAdd");
    EXPECT_EQ(kyFunc("kyn").prefix(), "");
    EXPECT_EQ(kyFunc("").baseName(), "");
}

TEST(KyFunc, MeasuresTypeTokens)
{
    EXPECT_EQ(kyFunc::lenOfType("32f"), 3);
    EXPECT_EQ(kyFunc::lenOfType("64fc_I"), 4);
    EXPECT_EQ(kyFunc::lenOfType("8u32f"), 2);
    EXPECT_EQ(kyFunc::lenOfType("8u32f", 2), 3);
    EXPECT_EQ(kyFunc::lenOfType("1u"), 2);
    EXPECT_EQ(kyFunc::lenOfType("sts"), 0);
    EXPECT_EQ(kyFunc::lenOfType("32"), 0);
    EXPECT_EQ(kyFunc::lenOfType("32x"), 0);
    EXPECT_EQ(kyFunc::lenOfType(""), 0);
    EXPECT_EQ(kyFunc::lenOfType("8u", 5), 0);
    EXPECT_EQ(kyFunc::typeToString(1568), "32fc");
    EXPECT_EQ(kyFunc::stringToType("16sc"), ky16sc);
}

TEST(KyFunc, OrdersByBaseThenTypesThenDescriptor)
{
    // Base names decide first, as plain strings (multi-buffer names compare only this way).
    EXPECT_LT(kyFunc("tzv_nistp256_ecdh_mb8").compare("tzv_nistp256_ecdsa_sign_mb8"), 0);
    EXPECT_GT(kyFunc("tzv_sm4_encrypt_ecb_mb16").compare("tzv_sm3_update_mb16"), 0);
    EXPECT_EQ(kyFunc("tzv_sm3_update_mb16").compare("tzv_sm3_update_mb16"), 0);
    EXPECT_LT(kyFunc("kynsAdd_64f").compare("kynsSub_8u"), 0);

    // Types by width, then unsigned < signed < float, then real before complex; the type order
    // is by code, not by text ("8u" after "16u" as text).
    EXPECT_LT(kyFunc("kynsAdd_8u").compare("kynsAdd_16u"), 0);
    EXPECT_LT(kyFunc("kynsAdd_32u").compare("kynsAdd_32s"), 0);
    EXPECT_LT(kyFunc("kynsAdd_32s").compare("kynsAdd_32f"), 0);
    EXPECT_LT(kyFunc("kynsAdd_64u").compare("kynsAdd_8s"), 0);
    EXPECT_LT(kyFunc("kynsAdd_32f").compare("kynsAdd_32fc"), 0);
    // 32fc without its complex flag is 32f, below 64f.
    EXPECT_LT(kyFunc("kynsAdd_32fc").compare("kynsAdd_64f"), 0);
    // More tokens: a missing token sorts first; the second token decides when the first agree.
    EXPECT_LT(kyFunc("kynsConvert_8u").compare("kynsConvert_8u32f"), 0);
    EXPECT_LT(kyFunc("kynsConvert_8u16s").compare("kynsConvert_8u32f"), 0);

    // Descriptors: without "I" before with it; "C..." before "AC4..."; else as strings.
    EXPECT_LT(kyFunc("kynsAdd_32f").compare("kynsAdd_32f_I"), 0);
    EXPECT_GT(kyFunc("kynsAdd_32f_I").compare("kynsAdd_32f"), 0);
    EXPECT_GT(kyFunc("kynsAdd_8u_C1IRSfs").compare("kynsAdd_8u_C3RSfs"), 0);
    EXPECT_GT(kyFunc("kynsAdd_8u_AC4R").compare("kynsAdd_8u_C4R"), 0);
    EXPECT_LT(kyFunc("kynsAdd_8u_C4R").compare("kynsAdd_8u_AC4R"), 0);
    EXPECT_LT(kyFunc("kynsAdd_8u_C1R").compare("kynsAdd_8u_C3R"), 0);
    EXPECT_EQ(sign(kyFunc("kynsAdd_8u_P3R").compare("kynsAdd_8u_P3R")), 0);

    // The prefix joins the base in the first comparison.
    EXPECT_LT(kyFunc("kyniAdd_8u").compare("kynsAdd_8u"), 0);
}
