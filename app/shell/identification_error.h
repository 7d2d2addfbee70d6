#pragma once

// The only failure that ends the program: a controller that did not
// identify as version 1 (version_found, -1 when it did not answer). Shows
// the modal error box "Ошибка!" with the reason, the version found against
// the one expected and that the program will close; then ends the event
// loop with the exit code: 1 when it did not answer, 2 for another version.
void show_identification_error(int version_found);
