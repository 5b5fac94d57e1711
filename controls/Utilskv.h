// Plain utility functions of the controls library.
#pragma once

#include "SysUtils.h"

// Days of the month (1..12) in the year, February by the Gregorian leap-year
// rule. The month is not checked: callers pass 1 to 12.
int DaysInMonth(int Year, int Month);
// Days of the month that the date lies in.
int DaysInMonthOf(TDateTime Value);
