#pragma once

#include "history/history_rows.h"

// Made-up history for the benchmarks and the demo: a room's light over a
// day, dark at night, bright at noon (UTC), with a little noise, and the
// brightness hunting for a while every fourth evening.
MinuteRow synthetic_minute(const QString &identity, qint64 minute_start);
