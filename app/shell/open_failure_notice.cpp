#include "open_failure_notice.h"

#include "model/outcome_text.h"

#include <QCoreApplication>

namespace {

// The device path and hidapi's error text come from outside; a control
// character in either (a line break, a terminal escape) must not break the
// one-line notice or reach the terminal.
QString printable(QString out)
{
    for (QChar &c : out) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return out.trimmed();
}

QString notice_line(const HidOpenFailure &failure)
{
    QString reason = printable(open_failure_reason(failure));
    if (reason.isEmpty())
        reason = QCoreApplication::translate("OpenFailureNotice", "unknown error");
    // On Linux the usual cause is a hidraw node readable by root only: the
    // shipped udev rule hands it to the user at the seat.
    // Written for the terminal and for logs in English, the language of the
    // system's own messages there; translatable like every other text.
    return QCoreApplication::translate("OpenFailureNotice",
                                       "morvane-pwm: cannot open the controller at %1: %2; "
                                       "install the tool's udev rule 70-morvane-pwm.rules (the package "
                                       "puts it in /usr/lib/udev/rules.d), run 'sudo udevadm control "
                                       "--reload && sudo udevadm trigger' and replug the controller")
        .arg(printable(QString::fromStdString(failure.path)), reason);
}

} // namespace

QStringList OpenFailureNotice::update(const std::vector<HidOpenFailure> &failures)
{
    QStringList lines;
    std::set<std::string> failing;
    for (const HidOpenFailure &failure : failures) {
        const bool first_in_this_search = failing.insert(failure.path).second;
        if (first_in_this_search && reported_.count(failure.path) == 0)
            lines << notice_line(failure);
    }
    // Paths no longer failing are forgotten, so a replugged device that
    // still cannot be opened is named again.
    reported_ = std::move(failing);
    return lines;
}
