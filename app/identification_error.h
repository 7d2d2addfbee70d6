#pragma once

class QString;

// The only failure the user hears of: a controller that did not identify as
// version 1. Shows the modal error box "Ошибка!" with the reason, the version
// found against the one expected (version_found, -1 when the controller did
// not answer) and that the program will close; then tells the event loop to
// end with exit_code once the current poll tick has returned to it.
// Connected to Controller::identification_failed.
void show_identification_error(const QString &reason, int exit_code, int version_found);
