#include "window.h"

uint8_t hashWindow[HASH_WINDOW_SIZE];

uint8_t* hash_window(void) {
    return hashWindow;
}

uint32_t hash_window_size(void) {
    return HASH_WINDOW_SIZE;
}
