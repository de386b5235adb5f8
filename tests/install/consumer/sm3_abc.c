/* Built against the installed headers and libraries: SM3 of "abc" in all 16 lanes (GB/T 32905). */
#include <kyncp.h>
#include <stdio.h>
#include <string.h>
#include <tzvcrypto.h>

int main(void)
{
    static const char want[] = "66c7f0f462eeedd9d1f2d46bdc10e4e24167c4875cf2f7a2297da02b8f4ba8e0";
    const int8u* msg[16];
    int len[16], i, lane, same = 1;
    int8u out[16][32], *hash[16];
    char hex[65];
    for (i = 0; i < 16; ++i) msg[i] = (const int8u*)"abc", len[i] = 3, hash[i] = out[i];
    tzv_status16 sts = tzv_sm3_msg_digest_mb16(msg, len, hash);
    for (lane = 0; lane < 16; ++lane) {
        for (i = 0; i < 32; ++i) sprintf(hex + 2 * i, "%02x", out[lane][i]);
        same &= strcmp(hex, want) == 0;
    }
    printf("kyncp %d, status %llx, digests %s\n", cryptoGetLibVersion()->major, (unsigned long long)sts,
           same ? "right" : "wrong");
    return !(sts == 0 && same);
}
