// The reader of the JSON layout (`json`; see json_writer.h): any JSON text of
// that shape. The object's two keys, "capacities" (an array of integers) and
// "activities" (an array of objects with "duration", an integer, "demands",
// an array of integers as long as "capacities", and "successors", an array of
// 0-based indices), in any order, with any white space; every key required,
// none other allowed, none twice. Values are integers within 32 bits, written
// as JSON writes them: 1.0, 1e3, true, null, a string, an array where an integer
// belongs are refused at their line and column, as is anything after the
// object. Successors are taken as given (outside the array too) as long as
// they have a 1-based number in 32 bits, at most N x N in all, as read_instance
// takes them. Keys are compared after decoding JSON's escapes.
#pragma once

#include "instance/byte_source.h"
#include "instance/instance.h"
#include "instance/read_failure.h"

namespace converter {

// Reads one instance as read_instance does (the same rules for memory and for
// stopping at the first failure); a JSON text holds nothing after its value,
// so `trailing`, when given, always counts nothing.
read_failure read_json(byte_source source, instance& result, trailing_tokens* trailing = nullptr);

} // namespace converter
