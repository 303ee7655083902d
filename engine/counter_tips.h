// Tool tips of the counter fields: response times and why polls failed.
#pragma once

#include <string>

// The tip of status field 1 (polls: times and causes), 2 (valid: times) or
// 3 (bad: causes); empty for any other field. GUI thread.
std::string CounterFieldTip(int field);
