#pragma once

class QWindow;

// Keeps the window, and the least size it may be shrunk to, within the available area of its
// screen: on a small or scaled screen (1366x768 at 150%) the designed size would put the title
// bar's buttons and the status bar off screen. Says so in the log when it had to shrink anything.
// False when nothing changed.
bool FitWindowToScreen(QWindow* window);
