// The standard measures of a project-scheduling instance, for describing and
// grouping benchmark sets.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "instance/instance.h"

namespace converter {

// A 128-bit integer where the compiler has one; sums of products of 32-bit
// values need more than 64 bits.
#if defined(__SIZEOF_INT128__)
__extension__ typedef __int128 wide_integer;
__extension__ typedef unsigned __int128 wide_unsigned;
#else
using wide_integer = long double; // approximate past 64 bits
#endif

// With N activities (the first and the last the dummy start and end), J = N - 2,
// R resources, capacities C_k, durations d_j, demands r_jk, and A successor
// entries in all (the dummies' lists included, positive counts only):
struct instance_stats {
    std::int64_t activities = 0; // N
    std::int64_t resources = 0;  // R
    std::int64_t arcs = 0;       // A
    // A / N; empty when N <= 0.
    std::optional<double> network_complexity;
    // Pairs (j in 2..N-1, k) with r_jk > 0, over J * R; empty when J * R <= 0.
    std::optional<double> resource_factor;
    // Mean over k of (C_k - rmin_k) / (rmax_k - rmin_k), 1 for a resource whose
    // rmax_k = rmin_k; rmin_k is the largest single demand, rmax_k the peak total
    // demand when every activity starts at its earliest start (the largest
    // earliest finish of its predecessors, 0 without any) and occupies
    // [start, start + d_j). Empty when R <= 0 or there is no such schedule.
    std::optional<double> resource_strength;
    // The earliest finish of the last activity in that schedule; empty without one.
    std::optional<std::int64_t> critical_path;
    // Max over k with C_k > 0 of ceil(sum_j d_j * r_jk / C_k); empty when no
    // capacity is positive or a duration is negative.
    std::optional<wide_integer> resource_bound;
};

// Computes every measure of an instance as a successful read leaves it. The
// earliest-start schedule exists only when every successor is within 1..N, the
// precedence relation has no cycle (an activity listed as its own successor is
// one) and no duration is negative. Time linear in N * R plus the successors,
// plus one sort of 2N events; memory linear in N plus the successors. Throws
// std::bad_alloc when memory runs out.
instance_stats compute_stats(const instance& source);

// "file,activities,resources,arcs,network_complexity,resource_factor,
// resource_strength,critical_path,resource_bound", without a line end.
const char* stats_csv_header();

// One CSV row (no line end): `file` quoted as RFC 4180 asks when it holds a comma,
// a double quote, CR or LF; ratios with four decimals; empty fields for measures
// that are not defined.
std::string stats_csv_row(const std::string& file, const instance_stats& stats);

} // namespace converter
