// One copy of the program per desktop. The window title is the marker that other programs
// and the start-up test look for; this lock closes the moment between that test and the
// window's creation, on the same desktop and no wider.
#pragma once

// False when another copy on this desktop has claimed it (and has not yet lost its window).
bool ClaimDesktopInstance();

// Gives the claim up; called as the window goes, so a copy started once the title is gone
// can run, even while this process is still ending.
void ReleaseDesktopInstance();
