// The end of the program, run on the window's close request.
#pragma once

// Closes the connection at once, lets a running poll worker go without
// waiting for it, removes the timers, stops the network layer and leaves
// the event loop. Nothing is saved. Main thread only.
void Shutdown();
