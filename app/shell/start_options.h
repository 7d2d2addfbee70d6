#pragma once

class QCoreApplication;

// What the command line asks of the program.
struct StartOptions
{
    bool background = false; // --background: no window at start, only the tray icon
};

// Reads the command line, in the reader's language: --help prints the usage
// and --version the version, each then exits with 0; anything else says so
// and exits with 2.
StartOptions parse_start_options(const QCoreApplication &app);
