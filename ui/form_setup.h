#pragma once

class QWidget;
namespace Ui {
class Widget;
}

// What widget.ui cannot say, done once after setupUi: the read-outs keep the
// width of the widest text they show ("1023", "100%") in the current font,
// and Enter presses Apply.
void finish_form_setup(Ui::Widget &ui, QWidget *window);
