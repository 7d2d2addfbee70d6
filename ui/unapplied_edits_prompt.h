#pragma once

class QWidget;

// What becomes of the form's unapplied edits as the window closes.
enum class UnappliedEditsAnswer {
    apply,   // write them, then close
    discard, // close without them
    cancel,  // keep the window open
};

// Asks the user, in a modal box over `window`.
UnappliedEditsAnswer ask_about_unapplied_edits(QWidget *window);
