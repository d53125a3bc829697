#include "layouts/sm_writer.h"

#include <algorithm>
#include <vector>

#include "analysis/precedence_graph.h"

namespace converter {
namespace {

constexpr char stars[] = "************************************************************************\n";
constexpr char dashes[] = "------------------------------------------------------------------------\n";

// Decimal digits of a value of up to 64 bits, into `digits`; returns their count.
std::size_t format_wide(char (&digits)[24], std::int64_t value) {
    char* end = digits;
    if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max())
        return static_cast<std::size_t>(put_int(digits, static_cast<std::int32_t>(value)) - digits);
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char reversed[24];
    std::size_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *end++ = '-';
    while (count != 0) *end++ = reversed[--count];
    return static_cast<std::size_t>(end - digits);
}

// R(width): right-aligned in `width` columns; with `spaced`, a number that fills
// or overflows them gets one blank before it. At most 25 bytes.
CONVERTER_ALWAYS_INLINE char* put_right(char* out, std::int64_t value, std::size_t width, bool spaced) {
    char digits[24];
    const std::size_t length = format_wide(digits, value);
    std::size_t blanks = length < width ? width - length : 0;
    if (spaced && length >= width) blanks = 1;
    std::memset(out, ' ', blanks);
    std::memcpy(out + blanks, digits, length);
    return out + blanks + length;
}

void put_right_line(output_buffer& buffer, std::int64_t value, std::size_t width, bool spaced) {
    buffer.commit(put_right(buffer.room(32), value, width, spaced));
}

// R(width) for a value put_wide writes and a width of at most 11, as
// put_right, without a loop for the usual sizes: sixteen blanks in one store,
// then the digits in place over them. Needs 28 bytes of room.
CONVERTER_ALWAYS_INLINE char* put_right_fast(char* out, std::int64_t value, std::size_t width, bool spaced) {
    const std::size_t length = printed_length(value);
    std::size_t blanks = length < width ? width - length : 0;
    if (spaced && length >= width) blanks = 1;
    std::memcpy(out, blanks16, 16);
    return put_wide(out + blanks, value);
}

// "  R 1  R 2 ... N 1 ... D 1": the kind's letter, then R2 of the resource's
// number among its kind, after "  ", with a blank before a number that fills
// it, so that the label is a letter and a number as two words whatever its size.
// The resources in `order`, each kind's numbered from 1.
void put_labels(output_buffer& buffer, const instance& source, const std::vector<std::size_t>& order) {
    std::int64_t numbers[3] = {0, 0, 0};
    for (const std::size_t resource : order) {
        const auto kind = static_cast<std::size_t>(kind_of(source, resource)) - 1;
        char* out = buffer.room(32);
        out[0] = ' ';
        out[1] = ' ';
        out[2] = "RND"[kind];
        buffer.commit(put_right(out + 3, ++numbers[kind], 2, true));
    }
}

// The resources as PSPLIB orders them: the renewable, the nonrenewable, then
// the doubly constrained, each kind in the instance's order.
std::vector<std::size_t> resource_order(const instance& source, std::size_t resources, std::int64_t (&counts)[3]) {
    std::vector<std::size_t> order;
    order.reserve(resources);
    for (const resource_kind kind :
         {resource_kind::renewable, resource_kind::nonrenewable, resource_kind::doubly_constrained}) {
        std::int64_t& count = counts[static_cast<std::size_t>(kind) - 1];
        count = 0;
        for (std::size_t resource = 0; resource < resources; ++resource)
            if (kind_of(source, resource) == kind) {
                order.push_back(resource);
                ++count;
            }
    }
    return order;
}

// Whether `order` is every resource in its own order.
bool is_identity(const std::vector<std::size_t>& order) {
    for (std::size_t index = 0; index < order.size(); ++index)
        if (order[index] != index) return false;
    return true;
}

// The basedata name: the source's stem with ".bas", as one word (a blank or
// control byte in it made "_"), since readers take the line's fourth word.
void put_basedata_name(output_buffer& buffer, const instance& source) {
    if (source.header.basedata) {
        put_text(buffer, *source.header.basedata);
        put_line_end(buffer);
        return;
    }
    const std::string& source_name = source.source_name;
    const std::string_view stem = source_name.empty() ? std::string_view("instance") : source_name;
    constexpr std::size_t piece = 256;
    for (std::size_t start = 0; start < stem.size(); start += piece) {
        const std::size_t length = stem.size() - start < piece ? stem.size() - start : piece;
        char* const out = buffer.room(piece);
        for (std::size_t index = 0; index < length; ++index) {
            const char c = stem[start + index];
            out[index] = static_cast<unsigned char>(c) <= ' ' || c == '\x7f' ? '_' : c;
        }
        buffer.commit(out + length);
    }
    put_text(buffer, ".bas\n");
}

// R(width) for widths of 2 to 5, `spaced` as put_right: a number of `width`
// digits or more is its digits (after one blank when spaced), a shorter one its
// digits after blanks; only negative numbers take the general path.
template <std::uint32_t width, bool spaced> CONVERTER_ALWAYS_INLINE char* put_column(char* out, std::int64_t value) {
    constexpr std::uint32_t filled = width == 2 ? 10 : width == 3 ? 100 : width == 4 ? 1000 : 10000;
    if (value >= filled) {
        if (spaced) *out++ = ' ';
        return put_wide(out, value);
    }
    if (value < 0) return put_right_fast(out, value, width, spaced);
    const auto small = static_cast<std::uint32_t>(value);
    const auto digits = static_cast<std::uint32_t>(1 + (small >= 10) + (small >= 100) + (small >= 1000));
    std::memcpy(out, blanks16, 8);
    put_small(out + width - digits, small);
    return out + width;
}

// Each value R(width), with a blank when it fills its column; `plus` is added.
template <std::uint32_t width>
void put_column_values(output_buffer& buffer, const std::int32_t* values, std::size_t count, std::int64_t plus) {
    put_fields(buffer, count, [values, plus](char* out) mutable {
        return put_column<width, true>(out, std::int64_t{*values++} + plus);
    });
}

void put_number_line(output_buffer& buffer, std::int64_t value) {
    buffer.commit(put_wide(buffer.room(field_room), value));
    put_line_end(buffer);
}

std::int64_t mpm_time(const instance& source) {
    if (source.activity_count <= 0) return 0;
    const std::vector<std::int64_t> start = earliest_starts(source);
    if (start.empty()) return 0;
    const auto last = static_cast<std::size_t>(source.activity_count - 1);
    return start[last] + (has_modes(source) ? shortest_durations(source)[last] : source.durations[last]);
}

} // namespace

void write_sm(output_buffer& buffer, const instance& source) {
    const std::int64_t jobs = source.activity_count;
    const auto activities = static_cast<std::size_t>(source.activity_count);
    const auto resources = static_cast<std::size_t>(source.resource_count);
    const project_header& header = source.header;
    const bool with_modes = has_modes(source);
    std::int64_t kind_counts[3];
    const std::vector<std::size_t> order = resource_order(source, resources, kind_counts);
    const bool reordered = !is_identity(order);
    std::int64_t horizon = 0;
    if (header.horizon) {
        horizon = *header.horizon;
    } else {
        // Each job in its longest mode.
        const std::int32_t* duration = source.durations.begin();
        for (std::size_t activity = 0; activity < activities; ++activity) {
            const std::int32_t modes = modes_of(source, activity);
            std::int64_t longest = modes > 0 ? *duration : 0;
            for (std::int32_t mode = 0; mode < modes; ++mode, ++duration)
                longest = std::max<std::int64_t>(longest, *duration);
            horizon += longest;
        }
    }
    const std::int64_t mpm = header.mpm_time ? *header.mpm_time : mpm_time(source);
    const std::int64_t due_date = header.due_date ? *header.due_date : mpm;

    put_text(buffer, stars);
    put_text(buffer, "file with basedata            : ");
    put_basedata_name(buffer, source);
    put_text(buffer, "initial value random generator: ");
    put_number_line(buffer, header.seed ? *header.seed : 0);
    put_text(buffer, stars);
    put_text(buffer, "projects                      :  1\n"
                     "jobs (incl. supersource/sink ):  ");
    put_right_line(buffer, jobs, 0, false);
    put_text(buffer, "\nhorizon                       :  ");
    put_right_line(buffer, horizon, 0, false);
    put_text(buffer, "\nRESOURCES\n"
                     "  - renewable                 :  ");
    put_right_line(buffer, kind_counts[0], 0, false);
    put_text(buffer, "   R\n"
                     "  - nonrenewable              :  ");
    put_right_line(buffer, kind_counts[1], 0, false);
    put_text(buffer, "   N\n"
                     "  - doubly constrained        :  ");
    put_right_line(buffer, kind_counts[2], 0, false);
    put_text(buffer, "   D\n");
    put_text(buffer, stars);
    put_text(buffer, "PROJECT INFORMATION:\n"
                     "pronr.  #jobs rel.date duedate tardcost  MPM-Time\n"
                     "    1");
    put_right_line(buffer, jobs - 2, 7, true);
    put_right_line(buffer, header.release_date ? *header.release_date : 0, 7, true);
    put_right_line(buffer, due_date, 9, true);
    put_right_line(buffer, header.tardiness_cost ? *header.tardiness_cost : 0, 9, true);
    put_right_line(buffer, mpm, 9, true);
    put_line_end(buffer);
    put_text(buffer, stars);

    put_text(buffer, "PRECEDENCE RELATIONS:\n"
                     "jobnr.    #modes  #successors   successors\n");
    const std::int32_t* successor = source.successors.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        char* out = put_column<4, false>(buffer.room(128), static_cast<std::int64_t>(activity + 1));
        if (with_modes) {
            out = put_right_fast(out, source.mode_counts[activity], 9, true);
        } else {
            std::memcpy(out, "        1", 9);
            out += 9;
        }
        out = put_right_fast(out, count, 11, true);
        std::memcpy(out, "        ", 8);
        buffer.commit(out + 8);
        put_column_values<4>(buffer, successor, static_cast<std::size_t>(count), 1);
        successor += count;
        put_line_end(buffer);
    }
    put_text(buffer, stars);

    put_text(buffer, "REQUESTS/DURATIONS:\n"
                     "jobnr. mode duration");
    put_labels(buffer, source, order);
    put_line_end(buffer);
    put_text(buffer, dashes);
    const std::int32_t* demand = source.demands.begin();
    const std::int32_t* duration = source.durations.begin();
    std::vector<std::int32_t> reordered_demands(reordered ? resources : 0);
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t modes = modes_of(source, activity);
        for (std::int32_t mode = 1; mode <= modes; ++mode) {
            // The job (on its first mode only), "··", the mode R5(1) and
            // "····", then the duration.
            char* out = buffer.room(128);
            if (mode == 1) {
                out = put_column<3, false>(out, static_cast<std::int64_t>(activity + 1));
                std::memcpy(out, "      1    ", 11);
                out += 11;
            } else {
                std::memcpy(out, "   ", 3);
                out = put_right_fast(out + 3, mode, 7, true);
                std::memcpy(out, "    ", 4);
                out += 4;
            }
            out = put_column<2, false>(out, *duration++);
            std::memcpy(out, "   ", 3);
            buffer.commit(out + 3);
            if (reordered) {
                for (std::size_t index = 0; index < resources; ++index) reordered_demands[index] = demand[order[index]];
                put_column_values<5>(buffer, reordered_demands.data(), resources, 0);
            } else {
                put_column_values<5>(buffer, demand, resources, 0);
            }
            demand += resources;
            put_line_end(buffer);
        }
    }
    put_text(buffer, stars);

    put_text(buffer, "RESOURCEAVAILABILITIES:\n");
    put_labels(buffer, source, order);
    put_line_end(buffer);
    if (reordered) {
        for (std::size_t index = 0; index < resources; ++index)
            reordered_demands[index] = source.capacities[order[index]];
        put_column_values<5>(buffer, reordered_demands.data(), resources, 0);
    } else {
        put_column_values<5>(buffer, source.capacities.begin(), resources, 0);
    }
    put_line_end(buffer);
    put_text(buffer, stars);
}

} // namespace converter
