#include "debug_lines.h"

DebugLines *DebugLines::current = nullptr;
QtMessageHandler DebugLines::previous = nullptr;

DebugLines::DebugLines()
{
    current = this;
    previous = qInstallMessageHandler(handle);
}

DebugLines::~DebugLines()
{
    qInstallMessageHandler(previous);
    current = nullptr;
}

void DebugLines::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg && current)
        current->lines.append(message);
    else if (previous)
        previous(type, context, message);
}
