#include "curve_window.h"

#include "light_time_view.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
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
    pages_->addTab(view_, QString());
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
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addWidget(proposal_row_);
    layout->addWidget(legend_);

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
    proposal_button_->setToolTip(tr("Переносит предложенные точки в форму; контроллер получит их только по «Применить»"));
    legend_->setText(tr("Сплошная линия — что делает контроллер с примененными настройками (без линейной "
                        "интерполяции — ступени), пунктир с точками — правки до «Применить». Выбранная точка: ←/→ — "
                        "освещенность на 1 отсчет (Shift — на 10), ↑/↓ — яркость на 1 % (PgUp/PgDn или Shift — на "
                        "10 %); Enter применяет, Esc закрывает окно. Оранжевый круг — где контроллер сейчас, лиловые "
                        "точки — ручные поправки."));
    reserve_text_heights();
}

// A wrapped text takes the height it needs at the narrowest the window gets,
// from the plot, not the other way round: the window's minimum size counts
// it.
void CurveWindow::reserve_text_heights()
{
    const int narrowest = pages_->minimumSizeHint().width();
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
}

void CurveWindow::clear_proposal()
{
    proposal_row_->hide();
    view_->set_proposal(std::nullopt);
}

void CurveWindow::accept_proposal()
{
    if (!view_->proposal())
        return;
    const CurveView::Points points = *view_->proposal();
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
