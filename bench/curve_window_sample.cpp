// The curve window with a sample history and a proposal, as the history
// will fill it: saves a picture of each page, for looking at the drawing
// without weeks of recorded light.
//
//   curve_window_sample OUT_PREFIX [--minimum]
//
// writes OUT_PREFIX-curve.png and OUT_PREFIX-time.png; --minimum shrinks the
// window to its minimum size first. The screen's scale comes from the
// environment (QT_SCALE_FACTOR).

#include "ui/curve_view.h"
#include "ui/curve_window.h"
#include "ui/light_time_view.h"

#include <QApplication>
#include <QTabWidget>

#include <cmath>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    const bool minimum = argc > 2 && qstrcmp(argv[2], "--minimum") == 0;

    QWidget main_window;
    CurveWindow window(&main_window);
    CurveView &view = *window.view();
    const CurveView::Points applied{{{0, 30}, {100, 80}, {200, 150}, {350, 250}, {500, 350}, {700, 450}, {900, 564}}};
    CurveView::Points edited = applied;
    edited[4].width = 400;
    view.set_applied_curve(applied, false);
    view.set_edited_curve(edited, false);
    // Evenings under a lamp and bright days, little in between.
    std::vector<double> shares(64);
    for (std::size_t bin = 0; bin < shares.size(); ++bin)
        shares[bin] = std::exp(-std::pow((bin - 10.0) / 4, 2)) + 0.6 * std::exp(-std::pow((bin - 45.0) / 6, 2));
    view.set_light_shares(shares, 30);
    view.set_corrections({{160, 140}, {175, 150}, {140, 120}, {620, 470}, {700, 500}});
    CurveView::Points proposal = applied;
    proposal[1].width = 110;
    proposal[2].width = 140;
    proposal[5].width = 490;
    window.set_proposal(proposal, QStringLiteral("5 поправок за 9 дней; изменились бы точки 2, 3 и 6"));
    view.set_operating_point(620, 410);

    const qint64 now = LightTimeView::current_ms();
    std::vector<LightTimeView::Sample> samples;
    for (qint64 minute = 7 * 24 * 60; minute >= 0; --minute) {
        if (minute > 30 * 60 && minute < 38 * 60) // the program not running
            continue;
        const double day = std::sin((now / 60000 - minute) * 2 * M_PI / (24 * 60));
        const int light = std::clamp(int(450 + 420 * day), 0, 1023);
        samples.push_back({now - minute * 60000, light, 30 + light * 534 / 1023});
    }
    window.time_view()->set_samples(samples);

    window.open();
    if (minimum)
        window.resize(window.minimumSizeHint().expandedTo(window.minimumSize()));
    QApplication::processEvents();
    window.grab().save(prefix + QStringLiteral("-curve.png"));
    window.findChild<QTabWidget *>()->setCurrentIndex(1);
    QApplication::processEvents();
    window.grab().save(prefix + QStringLiteral("-time.png"));
    return 0;
}
