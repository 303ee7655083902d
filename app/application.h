// The program's life: start-up, the event loop and shutdown.
#pragma once

// What start-up may be given instead of the real thing (tests).
struct StartupHooks {
    bool (*startNetwork)() = nullptr;  // null: the real StartNetwork
    void (*afterStartup)() = nullptr;  // run once the window is up and the loop runs
};

// Gives the window kit the program's handlers: control events, timer ticks,
// the close request, the data list's edit and compare callbacks, the tool
// tips and right-click menus. Called once at start-up, before the window is
// built (and by tests that build the window themselves).
void InstallHandlers();

// Runs the program until the window is closed; returns the exit code (0).
int RunApplication(int argc, char** argv, const StartupHooks& hooks = {});
