#include "curve_window.h"

#include "light_time_view.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

CurveWindow::CurveWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , view_(new CurveView(this))
    , time_view_(new LightTimeView(this))
    , pages_(new QTabWidget(this))
    , read_only_note_(new QLabel(this))
    , day_button_(new QRadioButton(this))
    , week_button_(new QRadioButton(this))
    , proposal_row_(new QWidget(this))
    , proposal_text_(new QLabel(proposal_row_))
    , proposal_button_(new QPushButton(proposal_row_))
    , follow_time_(new QCheckBox(proposal_row_))
    , legend_(new QLabel(this))
{
    auto *time_page = new QWidget(pages_);
    auto *span_row = new QHBoxLayout;
    span_row->addWidget(day_button_);
    span_row->addWidget(week_button_);
    span_row->addStretch();
    auto *time_layout = new QVBoxLayout(time_page);
    time_layout->addLayout(span_row);
    time_layout->addWidget(time_view_, 1);
    day_button_->setChecked(true);
    connect(day_button_, &QRadioButton::toggled, this, [this](bool day) {
        time_view_->set_span(day ? LightTimeView::Span::day : LightTimeView::Span::week);
    });
    // The proposal and the legend speak of the curve: they go with its page.
    auto *curve_page = new QWidget(pages_);
    auto *curve_layout = new QVBoxLayout(curve_page);
    curve_layout->addWidget(view_, 1);
    curve_layout->addWidget(proposal_row_);
    curve_layout->addWidget(legend_);
    pages_->addTab(curve_page, QString());
    pages_->addTab(time_page, QString());

    auto *proposal_layout = new QHBoxLayout(proposal_row_);
    proposal_layout->setContentsMargins(0, 0, 0, 0);
    proposal_layout->addWidget(proposal_text_, 1);
    proposal_layout->addWidget(follow_time_);
    proposal_layout->addWidget(proposal_button_);
    connect(follow_time_, &QCheckBox::toggled, this, &CurveWindow::history_wanted);
    proposal_text_->setWordWrap(true);
    proposal_row_->hide();
    connect(proposal_button_, &QPushButton::clicked, this, &CurveWindow::accept_proposal);

    legend_->setWordWrap(true);
    read_only_note_->setWordWrap(true);
    read_only_note_->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(read_only_note_);
    layout->addWidget(pages_, 1);

    for (const int key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, &CurveWindow::apply_requested);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);

    // The texts are worded, and their heights measured, when the window is
    // first shown: not on the main window's way to its first frame.
    parent->installEventFilter(this);
}

void CurveWindow::show_texts()
{
    worded_ = true;
    setWindowTitle(tr("Кривая яркости"));
    pages_->setTabText(0, tr("Кривая"));
    pages_->setTabText(1, tr("По времени"));
    day_button_->setText(tr("24 часа"));
    week_button_->setText(tr("7 дней"));
    proposal_button_->setText(tr("Использовать предложение"));
    follow_time_->setText(tr("Точки — где бывает свет"));
    follow_time_->setToolTip(tr("Переносит точки кривой на те уровни освещенности, где проходит больше всего "
                                "времени; иначе точки остаются на своих местах"));
    show_proposal_usable();
    show_legend();
}

// The proposal's key is there while a proposal is drawn.
void CurveWindow::show_legend()
{
    if (!worded_)
        return;
    const QString proposal_key = view_->proposal() ? QLatin1Char(' ') + tr("Зеленая линия с квадратами — кривая, "
                                                                           "предложенная по ручным поправкам.")
                                                   : QString();
    legend_->setText(tr("Сплошная линия — что делает контроллер с примененными настройками (без линейной "
                        "интерполяции — ступени), пунктир с точками — правки до «Применить». Выбранная точка: ←/→ — "
                        "освещенность на 1 отсчет (Shift — на 10), ↑/↓ — яркость на 1 % (PgUp/PgDn или Shift — на "
                        "10 %); Enter применяет, Esc закрывает окно. Оранжевый круг — где контроллер сейчас, лиловые "
                        "точки — ручные поправки.")
                     + proposal_key);
    reserve_text_heights();
}

void CurveWindow::show_proposal_usable()
{
    const bool differs = view_->proposal() && *view_->proposal() != view_->applied_points();
    proposal_button_->setEnabled(differs && read_only_note_->isHidden());
    if (!worded_)
        return;
    proposal_button_->setToolTip(!read_only_note_->isHidden()
                                     ? tr("Без контроллера предложение можно только посмотреть")
                                     : tr("Переносит предложенные точки в форму; контроллер получит их только по "
                                          "«Применить»"));
}

void CurveWindow::set_read_only_note(const QString &note)
{
    read_only_note_->setText(note);
    read_only_note_->setVisible(!note.isEmpty());
    show_proposal_usable();
    if (worded_)
        reserve_text_heights();
}

// A wrapped text takes the height it needs at the narrowest the window gets,
// from the plot, not the other way round: the window's minimum size counts
// it.
void CurveWindow::reserve_text_heights()
{
    const int narrowest = view_->minimumSizeHint().width();
    read_only_note_->setMinimumHeight(read_only_note_->isHidden() ? 0 : std::max(0, read_only_note_->heightForWidth(narrowest)));
    legend_->setMinimumHeight(std::max(0, legend_->heightForWidth(narrowest)));
    proposal_text_->setMinimumHeight(
        std::max(0, proposal_text_->heightForWidth(narrowest - proposal_button_->sizeHint().width())));
}

void CurveWindow::set_proposal(const CurveView::Points &points, const QString &explanation)
{
    proposal_text_->setText(explanation);
    reserve_text_heights();
    proposal_row_->show();
    view_->set_proposal(points);
    show_proposal_usable();
    show_legend();
}

void CurveWindow::clear_proposal()
{
    proposal_row_->hide();
    view_->set_proposal(std::nullopt);
    show_legend();
}

// The form's curve, edited and not applied, is the owner's: the proposal
// replaces it only when the owner says so.
void CurveWindow::accept_proposal()
{
    if (!view_->proposal())
        return;
    const CurveView::Points points = *view_->proposal();
    const CurveView::Points &edited = view_->points();
    if (edited != view_->applied_points() && edited != points) {
        QMessageBox box(QMessageBox::Question, windowTitle(), tr("Кривая в форме изменена и не применена."),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setInformativeText(tr("Заменить эти изменения предложением?"));
        // Qt's own button texts would stay English under the Russian source.
        box.button(QMessageBox::Yes)->setText(tr("&Заменить"));
        box.button(QMessageBox::No)->setText(tr("&Оставить мои"));
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            return;
    }
    clear_proposal();
    emit proposal_accepted(points);
}

void CurveWindow::changeEvent(QEvent *event)
{
    // Unworded, the first show words it as things are then.
    if (worded_ && event->type() == QEvent::LanguageChange)
        show_texts();
    else if (worded_ && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        reserve_text_heights();
    QWidget::changeEvent(event);
}

bool CurveWindow::proposal_follows_time() const
{
    return follow_time_->isChecked();
}

void CurveWindow::open()
{
    emit history_wanted();
    open_ = true;
    show_where_it_was();
    raise();
    activateWindow();
}

void CurveWindow::show_where_it_was()
{
    if (!worded_)
        show_texts();
    if (!saved_geometry_.isEmpty())
        restoreGeometry(saved_geometry_);
    show();
}

void CurveWindow::closeEvent(QCloseEvent *event)
{
    open_ = false;
    QWidget::closeEvent(event);
}

void CurveWindow::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        saved_geometry_ = saveGeometry();
    QWidget::hideEvent(event);
}

// Follows the main window: hidden with it, back with it when the user had it
// open. Minimising is left to the window manager (some take a window's
// transient windows along): a window hidden and shown again behind its back
// loses the place the user gave it.
bool CurveWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && !event->spontaneous()) {
        if (event->type() == QEvent::Hide && isVisible())
            hide();
        else if (event->type() == QEvent::Show && open_ && !isVisible())
            show_where_it_was();
    }
    return QWidget::eventFilter(watched, event);
}
