#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// A controller as a selector can name it.
struct SelectableController
{
    QString id;
    QString serial; // empty when none
};

// Which controller a selector (`--device SEL`) names among those given, in
// the order people number them in. The one rule for every way in.
struct ControllerChoice
{
    enum class Kind {
        chosen,          // `index` names it
        nothing_present, // no selector, and no controller to choose
        no_match,        // the selector names none of them
        several,         // `candidates` could all be meant
    };

    Kind kind = Kind::nothing_present;
    int index = -1;         // into the list, when chosen
    QStringList candidates; // their ids, when several
};

// Matched in this order: exact id, exact serial, 1-based index, then a
// unique prefix (at least MIN_PREFIX characters) of an id or a serial. The
// first step that matches decides; a step matching several is `several`.
// Without a selector the only controller present is chosen.
constexpr int MIN_PREFIX = 4;
ControllerChoice choose_controller(const std::vector<SelectableController> &present, const QString &selector);

// The controllers named by ids alone (the history keeps no serial): the
// serial is read back from an "sn:<serial>" or "sn:<serial>@<port>" id.
std::vector<SelectableController> selectable_ids(const QStringList &ids);
