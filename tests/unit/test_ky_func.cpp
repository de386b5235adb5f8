// The function-name model: splitting names into prefix, base, types and descriptor, and their order.
#include <gtest/gtest.h>

#include <string>

#include "ky_func.h"

TEST(KyFunc, SplitsNamesAtTheFirstUnderscoreBeforeATypeToken)
{
    const struct { const char *name, *prefix, *base, *type, *descr; } names[] = {
        {"kynsAdd_32f_I", "kyns", "Add", "32f", "I"},
        {"kyniFilter_Box_8u32f_C1R_Sfs", "kyni", "Filter_Box", "8u32f", "C1R_Sfs"},
        {"kynsMul_16sc", "kyns", "Mul", "16sc", ""},
        // Multi-buffer names have no type part; digits alone or with another letter are no type.
        {"tzv_nistp256_ecdsa_sign_mb8", "", "tzv_nistp256_ecdsa_sign_mb8", "", ""},
        {"cpSome_2048_x_8bit", "", "cpSome_2048_x_8bit", "", ""},
        {"kynxAdd_32f", "", "kynxAdd", "32f", ""}};
    for (const auto& n : names) {
        kyFunc f(n.name);
        EXPECT_EQ(f.prefix(), n.prefix) << n.name;
        EXPECT_EQ(f.baseName(), n.base) << n.name;
        EXPECT_EQ(f.typeName(), n.type) << n.name;
        EXPECT_EQ(f.descrName(), n.descr) << n.name;
    }
    const struct { const char* text; int pos, length; } tokens[] = {
        {"32f", 0, 3}, {"64fc_I", 0, 4}, {"8u32f", 0, 2}, {"8u32f", 2, 3}, {"1u", 0, 2},
        {"sts", 0, 0}, {"32", 0, 0},     {"32x", 0, 0},   {"8u", 5, 0}};
    for (const auto& t : tokens) EXPECT_EQ(kyFunc::lenOfType(t.text, t.pos), t.length) << t.text << t.pos;
}

TEST(KyFunc, OrdersByBaseThenTypesThenDescriptor)
{
    // Types by code: width, then unsigned < signed < float, real before complex, a missing token
    // first; in-place descriptors after the others, "C..." before "AC4...".
    const char* const ascending[][2] = {
        {"tzv_nistp256_ecdh_mb8", "tzv_nistp256_ecdsa_sign_mb8"}, {"kynsAdd_64f", "kynsSub_8u"},
        {"kynsAdd_8u", "kynsAdd_16u"},       {"kynsAdd_32u", "kynsAdd_32s"},       {"kynsAdd_32s", "kynsAdd_32f"},
        {"kynsAdd_64u", "kynsAdd_8s"},       {"kynsAdd_32f", "kynsAdd_32fc"},      {"kynsAdd_32fc", "kynsAdd_64f"},
        {"kynsConvert_8u", "kynsConvert_8u32f"}, {"kynsConvert_8u16s", "kynsConvert_8u32f"},
        {"kynsAdd_32f", "kynsAdd_32f_I"},    {"kynsAdd_8u_C3RSfs", "kynsAdd_8u_C1IRSfs"},
        {"kynsAdd_8u_C4R", "kynsAdd_8u_AC4R"}, {"kynsAdd_8u_C1R", "kynsAdd_8u_C3R"}, {"kyniAdd_8u", "kynsAdd_8u"}};
    for (const auto& pair : ascending) {
        EXPECT_LT(kyFunc(pair[0]).compare(pair[1]), 0) << pair[0] << " " << pair[1];
        EXPECT_GT(kyFunc(pair[1]).compare(pair[0]), 0) << pair[1] << " " << pair[0];
    }
    EXPECT_EQ(kyFunc("kynsAdd_8u_P3R").compare("kynsAdd_8u_P3R"), 0);
}
