/* The page copies bytes into this window, then asks a hash to consume them; nothing is ever
   allocated, so the module's memory never grows however much is hashed, and the page's views of
   it stay valid. */
#ifndef SKIFF_HASH_WINDOW_H
#define SKIFF_HASH_WINDOW_H

#include <stdint.h>

#define HASH_WINDOW_SIZE 65536u

extern uint8_t hashWindow[HASH_WINDOW_SIZE];

/* What the page calls. */
uint8_t* hash_window(void);
uint32_t hash_window_size(void);
/* Continues `crc` (the finished CRC-32 of the bytes before, 0 to start) over the first `length`
   bytes of the window, like zlib's crc32(). */
uint32_t crc32_window(uint32_t crc, uint32_t length);
/* The eight chaining words the page loads before, and reads back after, sha256_blocks. */
uint32_t* sha256_state(void);
/* Compresses `blocks` whole 64-byte blocks from the start of the window into the state. */
void sha256_blocks(uint32_t blocks);

/* Reads 32 bits at any alignment, in memory order (little-endian on wasm32). */
static inline uint32_t loadLittle32(const uint8_t* p) {
    uint32_t v;
    __builtin_memcpy(&v, p, 4);
    return v;
}

#endif
