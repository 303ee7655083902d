// Asking the user for a file to write.
#pragma once

#include <string>

// GUI thread: a modal save dialog starting at suggested (a file name in the
// working directory, or a path); filter as Qt writes it ("Text files
// (*.txt);;All files (*)"). The chosen path, or empty when cancelled.
std::string AskSaveFileName(const std::string& title, const std::string& suggested, const std::string& filter);

// Writes text to path whole or not at all (a file there is replaced only
// once the new one is complete). False with why in error.
bool SaveTextFile(const std::string& path, const std::string& text, std::string& error);

// Tests: when set, answers instead of the dialog.
using SaveFileNameHook = std::string (*)(const std::string& title, const std::string& suggested);
void SetSaveFileNameHook(SaveFileNameHook hook);
