// For the layouts that write lists and not their counts (sm writes both, but
// reads the count against the list): a negative count has no list to stand for.
#pragma once

#include "instance/instance.h"
#include "instance/messages.h"

namespace converter {

// False, with the reason in `why` ("activity 4 has a negative successor count
// (-2)", "the activity count is negative (-1)"), when a count is below 0.
bool has_no_negative_count(const instance& source, message_text& why);

} // namespace converter
