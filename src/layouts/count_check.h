// For the layouts that write lists and not their counts (sm writes both, but
// reads the count against the list): a negative count has no list to stand for.
#pragma once

#include "analysis/validation.h"
#include "instance/instance.h"
#include "instance/messages.h"

namespace converter {

// Each names activities as `naming` does (the input's layout: "job 4",
// "activity 3" of an sch file, which numbers from 0).

// False, with the reason in `why` ("activity 4 has a negative successor count
// (-2)", "the activity count is negative (-1)"), when a count is below 0.
bool has_no_negative_count(const instance& source, const activity_naming& naming, message_text& why);

// False, with the reason in `why`, when some arc's time lag differs from its
// activity's duration (a layout of `layout_name` holds no other): "activity 3
// → 7 has the time lag -5; the sm layout holds only lags equal to the
// durations".
bool has_no_general_lags(const instance& source, const activity_naming& naming, const char* layout_name,
                         message_text& why);

// False, with the reason in `why`, at the first activity with several modes
// ("activity 4 has 3 modes; the sm layout holds one mode per activity"), else
// at the first resource of another kind than renewable ("resource 3 is
// nonrenewable; the sm layout holds renewable resources only"), resources
// numbered from 1.
bool has_one_mode_and_renewable_resources(const instance& source, const activity_naming& naming,
                                          const char* layout_name, message_text& why);

} // namespace converter
