#pragma once

class QCoreApplication;

// What the command line asks of the program.
struct StartOptions
{
    bool background = false; // --background: no window at start, only the tray icon
};

// Reads the command line; --help prints the usage and exits, an unknown
// option says so and exits with 2.
StartOptions parse_start_options(const QCoreApplication &app);
