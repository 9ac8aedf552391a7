/* SHA-256 block compression over the window. The page keeps the partial block, the length and
   the final padding; the core only turns whole 64-byte blocks into the next chaining state. */
#include "window.h"

static uint32_t state[8];

static const uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

#define ROTR(x, n) (((x) >> (n)) | ((x) << (32 - (n))))
#define S0(x) (ROTR(x, 2) ^ ROTR(x, 13) ^ ROTR(x, 22))
#define S1(x) (ROTR(x, 6) ^ ROTR(x, 11) ^ ROTR(x, 25))
#define G0(x) (ROTR(x, 7) ^ ROTR(x, 18) ^ ((x) >> 3))
#define G1(x) (ROTR(x, 17) ^ ROTR(x, 19) ^ ((x) >> 10))
#define CH(e, f, g) ((g) ^ ((e) & ((f) ^ (g))))
#define MAJ(a, b, c) (((a) & (b)) | ((c) & ((a) | (b))))

/* wasm has no byte swap; two rotations and masks are cheaper than four byte loads. */
static inline uint32_t loadBig32(const uint8_t* p) {
    uint32_t v = loadLittle32(p);
    return (ROTR(v, 24) & 0x00FF00FFu) | (ROTR(v, 8) & 0xFF00FF00u);
}

#define ROUND(a, b, c, d, e, f, g, h, i)                          \
    do {                                                          \
        uint32_t t1 = h + S1(e) + CH(e, f, g) + K[i] + w[(i)&15]; \
        d += t1;                                                  \
        h = t1 + S0(a) + MAJ(a, b, c);                            \
    } while (0)

#define EXPAND(i) (w[(i)&15] += G1(w[((i)-2) & 15]) + w[((i)-7) & 15] + G0(w[((i)-15) & 15]))

#define EIGHT_ROUNDS(j)                         \
    do {                                        \
        ROUND(a, b, c, d, e, f, g, h, (j) + 0); \
        ROUND(h, a, b, c, d, e, f, g, (j) + 1); \
        ROUND(g, h, a, b, c, d, e, f, (j) + 2); \
        ROUND(f, g, h, a, b, c, d, e, (j) + 3); \
        ROUND(e, f, g, h, a, b, c, d, (j) + 4); \
        ROUND(d, e, f, g, h, a, b, c, (j) + 5); \
        ROUND(c, d, e, f, g, h, a, b, (j) + 6); \
        ROUND(b, c, d, e, f, g, h, a, (j) + 7); \
    } while (0)

#define EXPAND_EIGHT(j)  \
    do {                 \
        EXPAND((j) + 0); \
        EXPAND((j) + 1); \
        EXPAND((j) + 2); \
        EXPAND((j) + 3); \
        EXPAND((j) + 4); \
        EXPAND((j) + 5); \
        EXPAND((j) + 6); \
        EXPAND((j) + 7); \
    } while (0)

uint32_t* sha256_state(void) {
    return state;
}

void sha256_blocks(uint32_t blocks) {
    if (blocks > HASH_WINDOW_SIZE / 64) blocks = HASH_WINDOW_SIZE / 64;
    uint32_t a0 = state[0], b0 = state[1], c0 = state[2], d0 = state[3];
    uint32_t e0 = state[4], f0 = state[5], g0 = state[6], h0 = state[7];
    for (const uint8_t* p = hashWindow; blocks; blocks--, p += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; i++) w[i] = loadBig32(p + 4 * i);
        uint32_t a = a0, b = b0, c = c0, d = d0, e = e0, f = f0, g = g0, h = h0;
        EIGHT_ROUNDS(0);
        EIGHT_ROUNDS(8);
        for (int j = 16; j < 64; j += 16) {
            EXPAND_EIGHT(j);
            EIGHT_ROUNDS(j);
            EXPAND_EIGHT(j + 8);
            EIGHT_ROUNDS(j + 8);
        }
        a0 += a;
        b0 += b;
        c0 += c;
        d0 += d;
        e0 += e;
        f0 += f;
        g0 += g;
        h0 += h;
    }
    state[0] = a0;
    state[1] = b0;
    state[2] = c0;
    state[3] = d0;
    state[4] = e0;
    state[5] = f0;
    state[6] = g0;
    state[7] = h0;
}
