// The settings file applied to and taken from the window's controls.
#pragma once

// Fills the controls from the settings file, if there is one. Silent.
void LoadSettings();

// Writes the settings file from the controls. Silent; a save that fails
// leaves the old file as it was.
void SaveSettings();
