#pragma once

#include <QByteArray>
#include <QWidget>

class CurveView;
class QLabel;

// The curve view in a window of its own, beside the main window (its
// parent): it goes and comes back with it, and ends with it. While the
// program runs it remembers whether the user has it open and where it was.
class CurveWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CurveWindow(QWidget *parent);

    CurveView *view() const { return view_; }
    // The user has it open (it may be hidden along with the main window).
    bool is_open() const { return open_; }

public slots:
    // Shows it where it was last, in front.
    void open();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show_where_it_was();
    void show_texts();

    CurveView *view_;
    QLabel *legend_;
    bool open_ = false;
    QByteArray saved_geometry_;
};
