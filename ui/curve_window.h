#pragma once

#include "curve_view.h"

#include <QByteArray>
#include <QWidget>

class LightTimeView;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The curve view in a window of its own, beside the main window (its
// parent): it goes and comes back with it, and ends with it. While the
// program runs it remembers whether the user has it open and where it was.
// A second page shows the light and brightness over time. Enter asks for
// Apply, as in the main window; Escape closes it.
class CurveWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CurveWindow(QWidget *parent);

    CurveView *view() const { return view_; }
    LightTimeView *time_view() const { return time_view_; }
    // The user has it open (it may be hidden along with the main window).
    bool is_open() const { return open_; }

    // A proposed curve, drawn beside the current one, with one line that
    // says where it comes from; "Использовать предложение" hands it on, after
    // asking when it would replace the owner's unapplied edits of the curve.
    void set_proposal(const CurveView::Points &points, const QString &explanation);
    void clear_proposal();
    // Without a controller the window only shows: `note` says what and why,
    // and a proposal cannot be used. Empty: the controller is there.
    void set_read_only_note(const QString &note);
    // The owner's choice for a proposal: the points' light positions move to
    // where the time is spent, or stay where they are.
    bool proposal_follows_time() const;

public slots:
    // Shows it where it was last, in front.
    void open();

signals:
    // The user opened it, or changed how a proposal places its points: the
    // history it shows is worth reading again.
    void history_wanted();
    void apply_requested();
    // The user took the proposal; it is gone from the window.
    void proposal_accepted(const CurveView::Points &points);

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show_where_it_was();
    void show_texts();
    void reserve_text_heights();
    void accept_proposal();
    void show_legend();
    void show_proposal_usable();

    CurveView *view_;
    LightTimeView *time_view_;
    QTabWidget *pages_;
    QLabel *read_only_note_;
    // Made in this order: the row's parts need the row.
    QRadioButton *day_button_;
    QRadioButton *week_button_;
    QWidget *proposal_row_;
    QLabel *proposal_text_;
    QPushButton *proposal_button_;
    QCheckBox *follow_time_;
    QLabel *legend_;
    bool worded_ = false; // show_texts() has run
    bool open_ = false;
    QByteArray saved_geometry_;
};
