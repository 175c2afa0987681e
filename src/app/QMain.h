#pragma once

// The program: chooses between the driver-removal run, the hand-over to a running instance and
// the normal start, then runs the window until the application quits. Returns the exit code:
// the driver removal's result; 0 after a hand-over; -1 when the window could not be loaded;
// otherwise the event loop's result.
int qMain(int argc, char** argv);
