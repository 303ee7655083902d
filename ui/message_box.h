// Modal message boxes: title "Zedudu ZUD Uredav", one OK button, no icon.
#pragma once

#include <string>

constexpr const char* kMessageTitle = "Zedudu ZUD Uredav";

// Shows text modally and returns when it is dismissed. GUI thread only.
void ShowMessageBox(const std::string& text);

// Tests: when set, called instead of showing a box.
using MessageBoxHook = void (*)(const std::string& title, const std::string& text);
void SetMessageBoxHook(MessageBoxHook hook);
