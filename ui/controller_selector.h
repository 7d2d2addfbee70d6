#pragma once

#include <QWidget>

#include <vector>

class ControllerThread;
class QComboBox;
class QLabel;

// A row above the form that picks the controller the window shows, one
// entry per controller present, by its id. Hidden while there is no
// choice, so that with one controller the window stays as it always was.
class ControllerSelector : public QWidget
{
    Q_OBJECT

public:
    explicit ControllerSelector(QWidget *parent);

    // Lists `present` (in the registry's order) with `shown` chosen; hidden
    // with fewer than two. Pointers from an earlier list are dropped.
    void list(const std::vector<ControllerThread *> &present, const ControllerThread *shown);

signals:
    // The user picked another controller.
    void chosen(ControllerThread *controller);

protected:
    void changeEvent(QEvent *event) override;

private:
    void show_texts();

    QLabel *label_;
    QComboBox *choice_;
    std::vector<ControllerThread *> listed_;
};
