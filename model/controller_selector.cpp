#include "controller_selector.h"

#include <algorithm>

namespace {

ControllerChoice choice_of(const std::vector<SelectableController> &present, const std::vector<int> &matching)
{
    ControllerChoice choice;
    if (matching.size() == 1) {
        choice.kind = ControllerChoice::Kind::chosen;
        choice.index = matching.front();
        return choice;
    }
    choice.kind = matching.empty() ? ControllerChoice::Kind::no_match : ControllerChoice::Kind::several;
    for (int index : matching)
        choice.candidates << present[size_t(index)].id;
    return choice;
}

} // namespace

ControllerChoice choose_controller(const std::vector<SelectableController> &present, const QString &selector)
{
    const auto matching = [&present](const auto &matches) {
        std::vector<int> found;
        for (size_t index = 0; index < present.size(); ++index)
            if (matches(present[index]))
                found.push_back(int(index));
        return found;
    };
    if (selector.isEmpty())
        return present.empty() ? ControllerChoice() : choice_of(present, matching([](const auto &) { return true; }));

    std::vector<int> found = matching([&](const SelectableController &c) { return c.id == selector; });
    if (found.empty())
        found = matching([&](const SelectableController &c) { return !c.serial.isEmpty() && c.serial == selector; });
    const bool digits = std::all_of(selector.begin(), selector.end(), [](QChar c) { return c.isDigit(); });
    const int number = digits ? selector.toInt() : 0;
    if (found.empty() && number >= 1 && number <= int(present.size()))
        found = {number - 1};
    if (found.empty() && selector.size() >= MIN_PREFIX)
        found = matching([&](const SelectableController &c) {
            return c.id.startsWith(selector) || (!c.serial.isEmpty() && c.serial.startsWith(selector));
        });
    return choice_of(present, found);
}

std::vector<SelectableController> selectable_ids(const QStringList &ids)
{
    std::vector<SelectableController> named;
    for (const QString &id : ids) {
        QString serial;
        if (id.startsWith(QLatin1String("sn:"))) {
            serial = id.mid(3);
            if (const int at = serial.lastIndexOf(QLatin1Char('@')); at > 0)
                serial.truncate(at);
        }
        named.push_back({id, serial});
    }
    return named;
}
