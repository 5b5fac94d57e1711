// The program IBRowvaneDemo: its start-up and message loop.
#pragma once

// Runs the program on the application object that exists already: binds the
// German message texts, sets the hint pause and title, creates the main
// form, runs the message loop until the main form closes, and shows an
// exception that escapes. Returns 0.
int WinMain();
