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
// R resources, capacities C_k, and A successor entries in all (the dummies'
// lists included, positive counts only). Activity j has M_j modes, mode m of
// duration d_jm and demands r_jmk; with one mode each these are d_j and r_jk.
// The measures follow Kolisch, Sprecher and Drexl (1995), "Characterization
// and generation of a general class of resource-constrained project scheduling
// problems", Management Science 41(10), the definitions of ProGen, the
// generator of PSPLIB's single- and multi-mode sets: resource_factor,
// resource_strength and resource_bound over the resources held per period
// (renewable and doubly constrained), nonrenewable_factor and
// nonrenewable_strength over those counted over the whole project
// (nonrenewable and doubly constrained). The schedule below takes each
// activity's shortest duration d_j = min_m d_jm.
struct instance_stats {
    std::int64_t activities = 0; // N
    std::int64_t resources = 0;  // R
    std::int64_t arcs = 0;       // A
    // A / N; empty when N <= 0.
    std::optional<double> network_complexity;
    // The mean over j in 2..N-1 of the mean over its modes of the share of the
    // resources k with r_jmk > 0 (with one mode each: the pairs (j, k) with
    // r_jk > 0, over J * R); empty when J <= 0 or no resource is counted.
    std::optional<double> resource_factor;
    // Mean over k of (C_k - rmin_k) / (rmax_k - rmin_k), 1 for a resource whose
    // rmax_k = rmin_k; rmin_k is max_j min_m r_jmk, the largest single demand
    // that must be met, rmax_k the peak total demand when every activity,
    // counted with its largest demand max_m r_jmk, starts at its earliest
    // start (the largest earliest finish of its predecessors, 0 without any)
    // and occupies [start, start + d_j). Empty when no resource is counted or
    // there is no such schedule.
    std::optional<double> resource_strength;
    // The earliest finish of the last activity in that schedule; empty without one.
    std::optional<std::int64_t> critical_path;
    // Max over k with C_k > 0 of ceil(sum_j min_m d_jm * r_jmk / C_k); empty
    // when no capacity counted is positive or a duration is negative.
    std::optional<wide_integer> resource_bound;
    // The modes of all activities (N with one mode each).
    std::int64_t modes = 0;
    // The resources of each kind but renewable.
    std::int64_t nonrenewable = 0;
    std::int64_t doubly_constrained = 0;
    // As resource_factor, over the resources counted over the whole project.
    std::optional<double> nonrenewable_factor;
    // Mean over k of (C_k - Kmin_k) / (Kmax_k - Kmin_k), Kmin_k the sum over all
    // activities of min_m r_jmk and Kmax_k of max_m r_jmk, 1 where the two
    // are equal; empty when no resource is counted.
    std::optional<double> nonrenewable_strength;
};

// Computes every measure of an instance as a successful read leaves it. The
// earliest-start schedule exists only when every successor is within 1..N, the
// precedence relation has no cycle (an activity listed as its own successor is
// one) and no duration is negative. Time linear in M * R plus the successors,
// plus one sort of 2N events; memory linear in N plus the successors (N * R with modes). Throws
// std::bad_alloc when memory runs out.
instance_stats compute_stats(const instance& source);

// "file,activities,resources,arcs,network_complexity,resource_factor,
// resource_strength,critical_path,resource_bound,modes,nonrenewable,
// doubly_constrained,nonrenewable_factor,nonrenewable_strength", without a
// line end: the single-mode columns first, as before modes were measured.
const char* stats_csv_header();

// One CSV row (no line end): `file` quoted as RFC 4180 asks when it holds a comma,
// a double quote, CR or LF; ratios with four decimals; empty fields for measures
// that are not defined.
std::string stats_csv_row(const std::string& file, const instance_stats& stats);

} // namespace converter
