#pragma once

namespace skiff::ui {

// Asks for the person's attention without a notification: every shown window of the program
// gets the urgency hint until it is activated, and the desktop's "message-new-instant" sound
// plays (silently nothing where there is no sound service).
void requestAttention();

}  // namespace skiff::ui
