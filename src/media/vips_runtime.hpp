#pragma once

#include <vips/vips.h>

#include <memory>

namespace skiff::media {

// Owners for what libvips hands out.
struct VipsImageUnref {
    void operator()(VipsImage* image) const { g_object_unref(image); }
};
using VipsImagePtr = std::unique_ptr<VipsImage, VipsImageUnref>;

struct GlibFree {
    void operator()(void* memory) const { g_free(memory); }
};

// Starts libvips the first time it is called, from any thread, and sets it up for
// thumbnailing untrusted files. False when libvips could not start; every later call
// answers the same.
bool ensureVips();

// Forgets the reason for libvips' last failure. Its error buffer is shared by every thread
// and only grows, so each failure is cleared where it is seen.
void clearVipsError();

}  // namespace skiff::media
