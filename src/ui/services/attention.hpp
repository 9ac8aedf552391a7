#pragma once

class QString;
class QWindow;

namespace skiff::ui {

// Asks for the person's attention without a notification: every shown window of the program
// gets the urgency hint until it is activated, and the desktop's "message-new-instant" sound
// plays (silently nothing where there is no sound service).
void requestAttention();

// Shows the window in front for another launch of the program: with the launch's Wayland
// activation token where the desktop asks for one, else with the urgency hint as well, since
// the desktop may keep the focus where it is.
void bringToFront(QWindow& window, const QString& activationToken);

}  // namespace skiff::ui
