/* CRC-32 of zlib and PNG (reflected 0xEDB88320), sixteen bytes per step through sixteen tables.
   The tables are built on first use rather than stored, which keeps the inlined module small. */
#include "window.h"

static uint32_t table[16][256];
static int tableReady;

static void buildTable(void) {
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[0][n] = c;
    }
    /* table[s][n] is the CRC of byte n followed by s zero bytes. */
    for (int s = 1; s < 16; s++)
        for (uint32_t n = 0; n < 256; n++)
            table[s][n] = table[0][table[s - 1][n] & 0xFF] ^ (table[s - 1][n] >> 8);
    tableReady = 1;
}

#define BYTE(x, k) (((x) >> (8 * (k))) & 0xFF)

uint32_t crc32_window(uint32_t crc, uint32_t length) {
    if (!tableReady) buildTable();
    if (length > HASH_WINDOW_SIZE) length = HASH_WINDOW_SIZE;
    const uint8_t* p = hashWindow;
    uint32_t c = ~crc;
    for (; length >= 16; length -= 16, p += 16) {
        uint32_t a = loadLittle32(p) ^ c, b = loadLittle32(p + 4), d = loadLittle32(p + 8),
                 e = loadLittle32(p + 12);
        c = table[15][BYTE(a, 0)] ^ table[14][BYTE(a, 1)] ^ table[13][BYTE(a, 2)] ^
            table[12][BYTE(a, 3)] ^ table[11][BYTE(b, 0)] ^ table[10][BYTE(b, 1)] ^
            table[9][BYTE(b, 2)] ^ table[8][BYTE(b, 3)] ^ table[7][BYTE(d, 0)] ^
            table[6][BYTE(d, 1)] ^ table[5][BYTE(d, 2)] ^ table[4][BYTE(d, 3)] ^
            table[3][BYTE(e, 0)] ^ table[2][BYTE(e, 1)] ^ table[1][BYTE(e, 2)] ^
            table[0][BYTE(e, 3)];
    }
    for (; length; length--, p++) c = table[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    return ~c;
}
