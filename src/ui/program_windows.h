// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace velmora {

class Form1;

// Attaches the windows that the main window's menus open (the three Advanced windows, the map
// window and the about box) and the help link to Form1's hooks. Each window is made on first
// use, exists at most once, and the Advanced windows and the map are unloaded by Close File.
void attachProgramWindows(Form1& form1);

}  // namespace velmora
