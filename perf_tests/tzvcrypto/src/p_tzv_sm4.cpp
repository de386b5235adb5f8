// SM4 tests of the multi-buffer library: ECB, CBC, CTR, OFB, CFB and XTS, then GCM and CCM,
// encryption and decryption, 16 lanes per call. Every lane has buffers of its own, all of the same
// length; the figure is clocks per byte (a call's clocks over 16 x length).
#include "ky_tzv_wrappers.h"
#include "ps_malloc.h"
#include "ps_parameter.h"
#include "tzvcrypto.h"

// The message length of every lane, shared by the three classes.
static psIterator<int> length;

static void defineLength(psTest& test)
{
    static const int values[] = {32, 64, 96, 128, 160, 192, 224, 256, 512, 1024, 2048, 3072, 4096, 8192, 16384, 32768};
    test.regParm(length);
    length.reset();
    length.init("length");
    for (int v : values) length.add(v);
}

static void releaseAll();

// The three classes share their data, parameter and figure; only the set-up differs.
#define SM4_TEST_CLASS(Class)                                       \
    class Class : public kytzvTest {                                \
    public:                                                         \
        using kytzvTest::kytzvTest;                                 \
        bool canStart() override                                    \
        {                                                           \
            defineLength(*this);                                    \
            return true;                                            \
        }                                                           \
        bool initData() override;                                   \
        void flushData() override { releaseAll(); }                 \
        double getDivisor() override { return 16.0 * length.value(); } \
        psString getUnit() override { return "e"; }                 \
    };

SM4_TEST_CLASS(TimSM4_TZV)
SM4_TEST_CLASS(TimSM4_GCM_ENC_DEC_TZV)
SM4_TEST_CLASS(TimSM4_CCM_ENC_DEC_TZV)

KY_REG_KYN_ENVIRONMENT()

// ---- file-scope data: lane arrays of 16, filled by initData; the buffers' content is left as
// the allocation gives it ----
static int len[16];
static int8u* txt[16];
static int8u* enc_txt[16];
static int8u* iv[16];
static tzv_sm4_key* key[16];
static tzv_sm4_xts_key* xts_key[16];
static int8u* aad[16];

static tzv_sm4_key_schedule* rkey;
static tzv_sm4_key_schedule* key1;
static tzv_sm4_key_schedule* key2;
static tzv_sm4_gcm_ctx_mb16* context;
static tzv_sm4_ccm_ctx_mb16* ccm_context;

static int iv_len[16];
static int tag_len[16];
static int64u total_len[16];

// The context-free modes take input arrays of pointers to const; the arrays themselves are ours.
template <class T>
static inline const T** in(T** lanes)
{
    return const_cast<const T**>(lanes);
}

// ---- the 16 tests, in registration order ----

KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_encrypt_ecb_mb16, (enc_txt, in(txt), len, rkey))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_decrypt_ecb_mb16, (txt, in(enc_txt), len, rkey))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_encrypt_cbc_mb16, (enc_txt, in(txt), len, rkey, in(iv)))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_decrypt_cbc_mb16, (txt, in(enc_txt), len, rkey, in(iv)))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_encrypt_ctr128_mb16, (enc_txt, in(txt), len, rkey, iv))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_decrypt_ctr128_mb16, (txt, in(enc_txt), len, rkey, iv))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_encrypt_ofb_mb16, (enc_txt, in(txt), len, rkey, iv))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_decrypt_ofb_mb16, (txt, in(enc_txt), len, rkey, iv))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_encrypt_cfb128_mb16, (enc_txt, in(txt), len, rkey, in(iv)))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_decrypt_cfb128_mb16, (txt, in(enc_txt), len, rkey, in(iv)))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_xts_encrypt_mb16, (enc_txt, in(txt), len, key1, key2, in(iv)))
KY_TZV_TEST_MB16(TimSM4_TZV, tzv_sm4_xts_decrypt_mb16, (txt, in(enc_txt), len, key1, key2, in(iv)))

// GCM and CCM go on with the one context initData prepared: no re-initialisation, no tag.
KY_TZV_TEST_MB16(TimSM4_GCM_ENC_DEC_TZV, tzv_sm4_gcm_encrypt_mb16, (enc_txt, txt, len, context))
KY_TZV_TEST_MB16(TimSM4_GCM_ENC_DEC_TZV, tzv_sm4_gcm_decrypt_mb16, (txt, enc_txt, len, context))
KY_TZV_TEST_MB16(TimSM4_CCM_ENC_DEC_TZV, tzv_sm4_ccm_encrypt_mb16, (enc_txt, txt, len, ccm_context))
KY_TZV_TEST_MB16(TimSM4_CCM_ENC_DEC_TZV, tzv_sm4_ccm_decrypt_mb16, (txt, enc_txt, len, ccm_context))

KY_TZV_NEEDS(TimSM4_TZV, KY_TZV_FN(tzv_sm4_set_key_mb16), KY_TZV_FN(tzv_sm4_xts_set_keys_mb16))
KY_TZV_NEEDS(TimSM4_GCM_ENC_DEC_TZV, KY_TZV_FN(tzv_sm4_gcm_init_mb16), KY_TZV_FN(tzv_sm4_gcm_update_aad_mb16))
KY_TZV_NEEDS(TimSM4_CCM_ENC_DEC_TZV, KY_TZV_FN(tzv_sm4_ccm_init_mb16), KY_TZV_FN(tzv_sm4_ccm_update_aad_mb16))

// ---- data ----

// Set when some place() of the current initData found no memory.
static bool s_notPlaced;

template <class T>
static T* place(int size)
{
    if (s_notPlaced) return nullptr; // one memory message is enough
    T* p = static_cast<T*>(psMalloc(size));
    if (!p) s_notPlaced = true;
    return p;
}

// Every lane gets the text pair, an IV of ivSize bytes and a key; the other buffers only when asked.
static void placeLanes(int ivSize, bool withXtsKey, bool withAad)
{
    int n = length.value();
    for (int i = 0; i < 16; ++i) {
        len[i] = n;
        txt[i] = place<int8u>(n);
        enc_txt[i] = place<int8u>(n);
        iv[i] = place<int8u>(ivSize);
        key[i] = place<tzv_sm4_key>(sizeof(tzv_sm4_key));
        if (withXtsKey) xts_key[i] = place<tzv_sm4_xts_key>(sizeof(tzv_sm4_xts_key));
        if (withAad) aad[i] = place<int8u>(n);
    }
}

bool TimSM4_TZV::initData()
{
    s_notPlaced = false;
    rkey = place<tzv_sm4_key_schedule>(sizeof(tzv_sm4_key_schedule));
    key1 = place<tzv_sm4_key_schedule>(sizeof(tzv_sm4_key_schedule));
    key2 = place<tzv_sm4_key_schedule>(sizeof(tzv_sm4_key_schedule));
    placeLanes(length.value(), true, false);
    if (!acceptBuffers(!s_notPlaced)) return false;
    if (!acceptCpu(kyUnsupportedCpu16(tzv_sm4_set_key_mb16(rkey, in(key))))) return false;
    tzv_sm4_xts_set_keys_mb16(key1, key2, in(xts_key));
    return true;
}

bool TimSM4_GCM_ENC_DEC_TZV::initData()
{
    s_notPlaced = false;
    context = place<tzv_sm4_gcm_ctx_mb16>(sizeof(tzv_sm4_gcm_ctx_mb16));
    placeLanes(length.value(), false, true);
    if (!acceptBuffers(!s_notPlaced)) return false;
    // Each lane's IV is as long as its message.
    if (!acceptCpu(kyUnsupportedCpu16(tzv_sm4_gcm_init_mb16(key, iv, len, context)))) return false;
    tzv_sm4_gcm_update_aad_mb16(aad, len, context);
    return true;
}

bool TimSM4_CCM_ENC_DEC_TZV::initData()
{
    s_notPlaced = false;
    ccm_context = place<tzv_sm4_ccm_ctx_mb16>(sizeof(tzv_sm4_ccm_ctx_mb16));
    placeLanes(7, false, true);
    if (!acceptBuffers(!s_notPlaced)) return false;
    for (int i = 0; i < 16; ++i) {
        iv_len[i] = 7;
        tag_len[i] = 12;
        total_len[i] = (int64u)-1; // the total is not announced
    }
    if (!acceptCpu(kyUnsupportedCpu16(tzv_sm4_ccm_init_mb16(key, iv, iv_len, tag_len, total_len, ccm_context))))
        return false;
    tzv_sm4_ccm_update_aad_mb16(aad, len, ccm_context);
    return true;
}

// Each class leaves the buffers it does not use null, and psFree passes over null.
template <class T>
static void release(T*& p)
{
    psFree(const_cast<void*>(static_cast<const void*>(p)));
    p = nullptr;
}

static void releaseAll()
{
    release(rkey);
    release(key1);
    release(key2);
    release(context);
    release(ccm_context);
    for (int i = 0; i < 16; ++i) {
        release(txt[i]);
        release(enc_txt[i]);
        release(iv[i]);
        release(key[i]);
        release(xts_key[i]);
        release(aad[i]);
    }
}
