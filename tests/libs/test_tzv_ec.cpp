// The 22 elliptic-curve functions against OpenSSL's arithmetic: on eight lanes of different random data,
// affine and Jacobian keys (SM2's signatures exactly, from the nonce); one table of bad lanes over all of
// them, where the bad lane gets its status and the other seven still give their results; and the NIST
// curves on the CAVP vectors (FIPS 186-3 KeyPair, PKV, SigGen with k, SigVer; KAS ECDH ZZ-only files).
#include <gtest/gtest.h>

#include <thread>

#include "ec_lanes.h"

using namespace ectest;
using vectors::Record;

namespace {

class EcLanes : public ::testing::TestWithParam<Api> {
protected:
    const Api& api = GetParam();
    TestCurve c{api.nid};
    std::mt19937_64 rng{0xec000000u + (unsigned)api.nid};
    Lanes lanes = [this] {
        Lanes L;
        for (int i = 0; i < kLanes; ++i) L[i] = c.randomLane(rng, i);
        return L;
    }();

    // Runs `op` and expects `status` in lane `bad` (in every lane when bad < 0), OK in the others, and
    // every lane that succeeded to give its results.
    void check(Op op, const Lanes& L, bool affine, int bad, unsigned status, const std::string& what, Nulls nl = {})
    {
        std::array<unsigned, kLanes> want;
        for (int i = 0; i < kLanes; ++i) want[i] = bad < 0 || i == bad ? status : kOk;
        EXPECT_EQ(compare(api, c, op, L, affine, want, nl), "") << kOpNames[op] << (affine ? ", affine: " : ", Jacobian: ") << what;
    }
};

TEST_P(EcLanes, EveryFunctionAgreesWithOpenSslInEveryLane)
{
    for (int op = 0; op < kOpCount; ++op)
        for (bool affine : {false, true})
            if (api.has((Op)op)) check((Op)op, lanes, affine, -1, kOk, "all lanes good");
}

// A null lane of any argument fails that lane only; a null argument fails every lane, but a null Z
// argument means affine keys (above).
TEST_P(EcLanes, NullPointers)
{
    for (int op = 0; op < kOpCount; ++op) {
        if (!api.has((Op)op)) continue;
        for (int arg = 0; kArgKinds[op][arg]; ++arg) {
            const char kind = kArgKinds[op][arg];
            const int lane = (arg + op) % kLanes;
            const std::string what = "argument " + std::to_string(arg);
            if (kind != 'n') check((Op)op, lanes, false, lane, kNull, what + " null in one lane", {arg, lane});
            if (kind != 'z') check((Op)op, lanes, false, -1, kNull, what + " null", {arg, -1});
        }
    }
}

TEST_P(EcLanes, BadLaneTable)
{
    for (int row = 0; row < (int)std::size(kFaults); ++row) {
        const Fault& f = kFaults[row];
        for (int op = 0; op < kOpCount; ++op) {
            if (!(f.ops & bit((Op)op)) || !api.has((Op)op)) continue;
            for (bool affine : {false, true}) {
                if (affine && f.jacobianOnly) continue;
                const int lane = (row + op) % kLanes;
                Lanes L = lanes;
                f.apply(c, L[lane]);
                check((Op)op, L, affine, lane, f.status, f.what);
            }
        }
    }
}

// The curves with ECDSA.
class EcdsaLanes : public EcLanes {};

// Verification's fallback to the complete addition is taken when any one lane needs it, whichever
// lane that is: the accumulator meeting its entry (Q = G, e = r) alone in each lane in turn.
TEST_P(EcdsaLanes, DoublingCaseOfVerificationInEachLane)
{
    const Fault* f = nullptr;
    for (const Fault& x : kFaults)
        if (std::string(x.what) == "Q = G and e = r") f = &x;
    ASSERT_NE(f, nullptr);
    for (int lane = 0; lane < kLanes; ++lane) {
        Lanes L = lanes;
        f->apply(c, L[lane]);
        check(kVerify, L, false, lane, f->status, f->what + std::string(" in lane ") + std::to_string(lane));
    }
}

// Calls from several threads at once, each with its own keys, all come out right.
TEST_P(EcLanes, ConcurrentCallsFromSeveralThreads)
{
    std::array<std::string, 4> wrong;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            const TestCurve own(api.nid); // OpenSSL's number context is the thread's own
            Lanes L;
            for (int i = 0; i < kLanes; ++i) L[i] = lanes[(i + t) % kLanes];
            for (int round = 0; round < 3; ++round) wrong[t] += compare(api, own, kPubKey, L, false, {});
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], "") << "thread " << t;
}

// No private key, nonce, k^-1 or shared secret of the lanes stays on the stack after a call.
TEST_P(EcLanes, NoSecretLeftOnTheStack)
{
    for (Op op : {kPubKey, kEcdh, kSetup, kComplete, kSign, kSm2Sign}) {
        if (!api.has(op)) continue;
        Secrets secrets;
        for (const Lane& L : lanes) {
            if (bit(op) & kKeyOps) secrets.add(L.dw);
            if (bit(op) & kNonceOps) secrets.add(L.kw);
            if (op == kSetup || op == kComplete) secrets.add(L.kinvw);
            if (op == kEcdh) secrets.add(toWords(bnFromBytes(L.shared).get(), c.words));
        }
        Out o;
        tzv_status sts = 1;
        EXPECT_EQ(leftOnStack([&] { sts = run(api, c, op, lanes, o, true); }, secrets) + sts, 0u) << kOpNames[op];
    }
}

const char* const kHashes[][2] = {{"SHA-224", "SHA224"}, {"SHA-256", "SHA256"}, {"SHA-384", "SHA384"}, {"SHA-512", "SHA512"}};
const std::string kEcdsaDir = "asymmetric/ECDSA/FIPS_186-3/";

class NistVectors : public EcLanes {
protected:
    std::vector<Record> records(const std::string& file, const std::string& header, const char* field) const
    {
        std::vector<Record> out;
        for (auto& r : vectors::readFile(vectors::path(file)))
            if (r.underHeader(header) && r.has(field)) out.push_back(r);
        return out;
    }
    Bn num(const Record& r, const char* field) const { return bnFromHex(r.text(field)); }
    // The digest of the record's message, truncated to the order's bit length.
    Bn digest(const Record& r, const char* md) const
    {
        Bytes msg = r.hex("Msg"), out(EVP_MD_get_size(EVP_get_digestbyname(md)));
        EVP_Digest(msg.data(), msg.size(), out.data(), nullptr, EVP_get_digestbyname(md), nullptr);
        Bn e = bnFromBytes(out);
        BN_rshift(e.get(), e.get(), std::max(0, 8 * (int)out.size() - c.orderBits));
        return e;
    }

    // Calls each function of `ops` on the records eight at a time (the last call wraps around), affine and
    // Jacobian keys in turn: fill(record, lane) sets the lane's numbers. A lane must give its results, or
    // status `fail` when the record's Result is not P.
    template <typename Fill>
    void drive(const std::vector<Record>& recs, std::initializer_list<Op> ops, unsigned fail, Fill fill)
    {
        ASSERT_GE(recs.size(), (size_t)kLanes);
        for (size_t start = 0; start < recs.size(); start += kLanes) {
            Lanes L;
            std::array<unsigned, kLanes> status;
            std::string lines;
            for (int i = 0; i < kLanes; ++i) {
                const Record& r = recs[(start + i) % recs.size()];
                L[i].z = c.random(rng, c.p.get());
                fill(r, L[i]);
                c.encode(L[i]);
                status[i] = r.has("Result") && r.text("Result")[0] != 'P' ? fail : kOk;
                lines += " " + std::to_string(r.line);
            }
            const bool affine = start / kLanes % 2 == 0;
            for (Op op : ops)
                EXPECT_EQ(compare(api, c, op, L, affine, status), "") << kOpNames[op] << (affine ? ", affine" : ", Jacobian") << ", lines" << lines;
        }
    }
};

TEST_P(NistVectors, KeyPair)
{
    drive(records(kEcdsaDir + "KeyPair.rsp", api.name, "d"), {kPubKey}, kOk,
          [&](const Record& r, Lane& L) { L.d = num(r, "d"), L.qx = num(r, "Qx"), L.qy = num(r, "Qy"); });
}

// Public-key validation: a valid key works in ECDH, an invalid one (not on the curve, or a
// coordinate not below p) is a bad value. Coordinates too long for a word number cannot be given.
TEST_P(NistVectors, PublicKeyValidation)
{
    std::vector<Record> recs;
    for (auto& r : records(kEcdsaDir + "PKV.rsp", api.name, "Result"))
        if (BN_num_bits(num(r, "Qx").get()) <= 64 * c.words && BN_num_bits(num(r, "Qy").get()) <= 64 * c.words) recs.push_back(r);
    drive(recs, {kEcdh}, kBad, [&](const Record& r, Lane& L) {
        L.d = c.random(rng, c.n.get()), L.qx = num(r, "Qx"), L.qy = num(r, "Qy");
        if (r.text("Result")[0] == 'P') L.shared = c.ecdh(L);
    });
}

// Signing in one step and in two, with the vectors' k: sign setup gives r and k⁻¹, sign complete
// and sign the vectors' signature; then verification.
TEST_P(NistVectors, SigGenAndSigVer)
{
    for (const auto& hash : kHashes) {
        const std::string header = std::string(api.name) + "," + hash[0];
        drive(records(kEcdsaDir + "SigGen.txt", header, "k"), {kSign, kSetup, kComplete}, kOk, [&](const Record& r, Lane& L) {
            L.d = num(r, "d"), L.k = num(r, "k"), L.e = digest(r, hash[1]), L.rk = num(r, "R");
            L.kinv = c.div(bnWord(1).get(), L.k.get());
            L.sigR = toBytes(L.rk.get(), c.orderBytes), L.sigS = toBytes(num(r, "S").get(), c.orderBytes);
        });
        drive(records(kEcdsaDir + "SigVer.rsp", header, "Result"), {kVerify}, kSig, [&](const Record& r, Lane& L) {
            L.qx = num(r, "Qx"), L.qy = num(r, "Qy"), L.e = digest(r, hash[1]), L.r = num(r, "R"), L.s = num(r, "S");
        });
    }
}

// ECDH both ways for a passing record; for a failing one, a key that fails validation is a bad value,
// and a changed d or Z leaves OpenSSL's x(d·Q) as the result.
TEST_P(NistVectors, KasEcdh)
{
    std::vector<Record> jobs;
    const char* section = api.nid == NID_secp521r1 ? "EE - SHA512" : api.nid == NID_secp384r1 ? "ED - SHA384" : "EC - SHA256";
    for (const std::string side : {"init", "resp"})
        for (auto& r : records("asymmetric/ECDH/KASValidityTest_ECCStaticUnified_NOKC_ZZOnly_" + side + ".fax", section, "Result")) {
            // Passed, or failed for reason n ("F (n - why)"): 1 and 2 fail CAVS's key, 5 and 6 IUT's key, 7 changes
            // IUT's d (which may leave [1, n-1]), 8 changes Z.
            const char reason = r.text("Result")[0] == 'P' ? '0' : r.text("Result")[3];
            const Bn d = num(r, "dsIUT");
            const bool dOutOfRange = BN_is_zero(d.get()) || BN_cmp(d.get(), c.n.get()) >= 0;
            auto add = [&](const std::string& us, const std::string& peer, const char* result) { // our d, their Q
                Record j = r;
                j.fields = {{"d", r.text("ds" + us)}, {"Qx", r.text("Qs" + peer + "x")}, {"Qy", r.text("Qs" + peer + "y")},
                            {"Z", r.text("Z")}, {"Result", result}};
                jobs.push_back(j);
            };
            if (reason == '0' || reason == '5' || reason == '6') add("CAVS", "IUT", reason == '0' ? "P" : "F");
            if (reason != '5' && reason != '6')
                add("IUT", "CAVS", reason == '0' ? "P" : reason == '1' || reason == '2' || dOutOfRange ? "F" : "P, not Z");
        }
    ASSERT_GE(jobs.size(), 50u);
    drive(jobs, {kEcdh}, kBad, [&](const Record& r, Lane& L) {
        L.d = num(r, "d"), L.qx = num(r, "Qx"), L.qy = num(r, "Qy");
        if (r.text("Result") != "F") L.shared = r.text("Result") == "P" ? toBytes(num(r, "Z").get(), c.fieldBytes) : c.ecdh(L);
    });
}

std::string curveName(const ::testing::TestParamInfo<Api>& info)
{
    std::string n = info.param.name;
    n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
    return n;
}
INSTANTIATE_TEST_SUITE_P(Curves, EcLanes, ::testing::ValuesIn(kApis), curveName);
INSTANTIATE_TEST_SUITE_P(Curves, EcdsaLanes, ::testing::ValuesIn(kApis, kApis + 3), curveName);
INSTANTIATE_TEST_SUITE_P(Curves, NistVectors, ::testing::ValuesIn(kApis, kApis + 3), curveName);

} // namespace
