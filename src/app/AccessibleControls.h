// SPDX-License-Identifier: MIT
#pragma once

namespace ostrand {

class Form1;

// What a screen reader says for each control of the window: a name that says what it does ("Choose text
// colour", "Output folder", "Files to convert", "Conversion progress"), each label the buddy of the control it
// names, and tooltips for the "..." buttons and the two swatches. Nothing visible changes.
void describeControls(Form1& form);

// Gives the window and its colour swatches the roles a screen reader expects of what they are (a frame, labels);
// before any control of the window is made.
void installControlRoles();

} // namespace ostrand
