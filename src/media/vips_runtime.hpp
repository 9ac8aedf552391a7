#pragma once

namespace skiff::media {

// Starts libvips the first time it is called, from any thread, and sets it up for
// thumbnailing untrusted files. False when libvips could not start; every later call
// answers the same.
bool ensureVips();

// Forgets the reason for libvips' last failure. Its error buffer is shared by every thread
// and only grows, so each failure is cleared where it is seen.
void clearVipsError();

}  // namespace skiff::media
