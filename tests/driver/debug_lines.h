#pragma once

#include <QStringList>
#include <QtGlobal>

// Collects the debug messages written while it lives; other messages go on
// to the handler that was installed before.
class DebugLines
{
public:
    DebugLines();
    ~DebugLines();
    DebugLines(const DebugLines &) = delete;
    DebugLines &operator=(const DebugLines &) = delete;

    QStringList lines;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
    static DebugLines *current;
    static QtMessageHandler previous;
};
