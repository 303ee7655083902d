// Tool tips of the counter fields: response times and why polls failed, and
// the period they cover.
#pragma once

#include <string>

#include "engine/program_state.h"

// The tip of status field 1 (polls: times and causes), 2 (valid: times) or
// 3 (bad: causes); empty for any other field. Its first line says since
// when. GUI thread.
std::string CounterFieldTip(int field);

// Main: starts the response times and causes afresh, as a connect (why
// FiguresSinceConnect) and "Clear Log and Counters" (FiguresSinceClear) do,
// and notes when.
void RestartResponseFigures(FiguresStart why);
