#include "curve_window.h"

#include "light_time_view.h"
#include "model/coupling_sweep.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

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
    , coupling_row_(new QWidget(this))
    , coupling_text_(new QLabel(coupling_row_))
    , measure_button_(new QPushButton(coupling_row_))
    , measure_progress_(new QProgressBar(coupling_row_))
    , cancel_measure_button_(new QPushButton(coupling_row_))
    , gain_advice_(new QLabel(this))
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

    auto *coupling_layout = new QHBoxLayout(coupling_row_);
    coupling_layout->setContentsMargins(0, 0, 0, 0);
    coupling_layout->addWidget(coupling_text_, 1);
    coupling_layout->addWidget(measure_progress_);
    coupling_layout->addWidget(cancel_measure_button_);
    coupling_layout->addWidget(measure_button_);
    coupling_text_->setWordWrap(true);
    measure_progress_->hide();
    cancel_measure_button_->hide();
    connect(measure_button_, &QPushButton::clicked, this, &CurveWindow::measurement_wanted);
    connect(cancel_measure_button_, &QPushButton::clicked, this, &CurveWindow::measurement_cancelled);
    gain_advice_->setWordWrap(true);
    gain_advice_->hide();
    connect(view_, &CurveView::gain_marks_changed, this, &CurveWindow::show_coupling_texts);

    legend_->setWordWrap(true);
    read_only_note_->setWordWrap(true);
    read_only_note_->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(read_only_note_);
    layout->addWidget(pages_, 1);
    layout->addWidget(gain_advice_);
    layout->addWidget(coupling_row_);

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
    measure_button_->setText(tr("Измерить свет лампы…"));
    measure_button_->setToolTip(tr("Проходит яркостью от 0 до 100 % и обратно и смотрит, сколько света лампы "
                                   "доходит до датчика; около минуты, потом режим и яркость возвращаются"));
    cancel_measure_button_->setText(tr("Отмена"));
    show_proposal_usable();
    show_legend();
    show_coupling_texts();
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
    gain_advice_->setMinimumHeight(std::max(0, gain_advice_->heightForWidth(narrowest)));
    coupling_text_->setMinimumHeight(std::max(
        0, coupling_text_->heightForWidth(narrowest - measure_button_->sizeHint().width())));
    proposal_text_->setMinimumHeight(
        std::max(0, proposal_text_->heightForWidth(narrowest - proposal_button_->sizeHint().width())));
}

void CurveWindow::set_coupling(const std::optional<CouplingResult> &coupling)
{
    coupling_ = coupling && coupling->measured() ? coupling : std::nullopt;
    view_->set_coupling(coupling_ ? std::optional<double>(coupling_->counts_per_percent) : std::nullopt);
    show_coupling_texts();
}

void CurveWindow::show_measurement_progress(int step, int steps)
{
    measurement_note_.clear();
    measure_progress_->setRange(0, std::max(1, steps));
    measure_progress_->setValue(step);
    measure_progress_->show();
    cancel_measure_button_->show();
    measure_button_->setEnabled(false);
    show_coupling_texts();
}

void CurveWindow::end_measurement(const QString &note)
{
    measurement_note_ = note;
    measure_progress_->hide();
    cancel_measure_button_->hide();
    measure_button_->setEnabled(true);
    show_coupling_texts();
}

void CurveWindow::finish_measurement(const CouplingResult &result)
{
    if (result.error == CouplingSweep::UNPLUGGED)
        end_measurement(tr("Измерение прервано: контроллер отключен"));
    else if (result.error == CouplingSweep::SILENT)
        end_measurement(tr("Измерение прервано: контроллер перестал отвечать"));
    else
        end_measurement(QString()); // measured, cancelled, or the program ends
}

void CurveWindow::refuse_measurement(const QString &reason)
{
    end_measurement(tr("Измерить не удалось: %1").arg(reason));
}

bool CurveWindow::measuring() const
{
    return !measure_progress_->isHidden();
}

void CurveWindow::start_measurement()
{
    open();
    if (!measuring())
        emit measurement_wanted();
}

// What was measured and when, what the marks mean for each marked segment,
// and why the last measurement gave nothing.
void CurveWindow::show_coupling_texts()
{
    if (!worded_)
        return;
    // The lines add to the window's height rather than taking it from the plot.
    const int before = minimumSizeHint().height();
    QStringList lines;
    if (measuring()) {
        lines << tr("Измеряется свет лампы на датчике…");
    } else if (coupling_) {
        const QLocale locale;
        const QString when = locale.toString(QDateTime::fromMSecsSinceEpoch(coupling_->measured_at_ms).toLocalTime(),
                                             QLocale::ShortFormat);
        QString line = tr("Свет лампы на датчике: %1 отсчета на 1 % яркости (измерено %2)")
                           .arg(locale.toString(coupling_->counts_per_percent, 'f', 2), when);
        if (!coupling_->stable)
            line = tr("%1; свет в комнате менялся, лучше измерить еще раз").arg(line);
        lines << line;
    } else {
        lines << tr("Сколько света лампы доходит до датчика, не измерено");
    }
    if (!measurement_note_.isEmpty())
        lines << measurement_note_;
    coupling_text_->setText(lines.join(QLatin1Char('\n')));

    QStringList advice;
    for (const SegmentGain &segment : view_->gain_marks())
        advice << tr("Точки %1–%2: %3 (усиление до %4). Сделайте участок положе, увеличьте усреднение или задержку "
                     "переключения.")
                      .arg(segment.from_point)
                      .arg(segment.to_point)
                      .arg(CurveView::gain_mark_text(segment), QLocale().toString(std::abs(segment.gain), 'f', 1));
    gain_advice_->setText(advice.join(QLatin1Char('\n')));
    gain_advice_->setVisible(!advice.isEmpty());
    reserve_text_heights();
    if (isVisible())
        resize(width(), height() + minimumSizeHint().height() - before);
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
