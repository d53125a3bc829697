// Throughput of every layout's reader and writer on the instances given (in the
// rcp layout): each written to memory and read back from memory, the best of
// five runs each, in megabytes (10^6 bytes) of that layout's text per second.
// Prints one line per instance and layout:
//   FILE LAYOUT BYTES READ_MB_PER_S WRITE_MB_PER_S
// (the read rate 0 for a layout that is only written)
// Usage: layout_throughput INSTANCE...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "instance/messages.h"
#include "layouts/formats.h"
#include "layouts/rcp_reader.h"
#include "layouts/sch_reader.h"
#include "layouts/sch_writer.h"

namespace {

using clock_type = std::chrono::steady_clock;

template <typename work> double best_seconds(work run) {
    double best = 1e30;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const clock_type::time_point start = clock_type::now();
        run();
        const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
        if (seconds < best) best = seconds;
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    using namespace converter;
    for (int argument = 1; argument < argc; ++argument) {
        std::ifstream file(argv[argument], std::ios::binary);
        std::ostringstream contents;
        contents << file.rdbuf();
        const std::string text = contents.str();
        instance source;
        if (const read_failure failure = read_instance(text, source)) {
            std::fprintf(stderr, "%s: %s\n", argv[argument], describe(failure).c_str());
            return 1;
        }
        for (const layout_format* format = formats_begin(); format != formats_end(); ++format) {
            if (format->write == nullptr) continue;
            std::string written;
            const double write_seconds = best_seconds([&] {
                written.clear();
                write_layout(written, format->write, source);
            });
            instance back;
            // A layout that is only written has no read rate (0).
            const double read_seconds = format->read == nullptr ? 1e30 : best_seconds([&] {
                text_cursor cursor{written};
                if (format->read(text_source(&cursor), back, nullptr)) std::abort();
            });
            const double megabytes = static_cast<double>(written.size()) / 1e6;
            std::printf("%s %s %zu %.0f %.0f\n", argv[argument], format->name, written.size(), megabytes / read_seconds,
                        megabytes / write_seconds);
        }
        // The same network with three modes for every activity but the
        // dummies and half its resources nonrenewable, through each layout
        // that holds modes: PSPLIB's and MMLIB's multi-mode sets' case.
        {
            instance modal;
            modal.activity_count = source.activity_count;
            modal.resource_count = source.resource_count;
            const auto resources = static_cast<std::size_t>(source.resource_count);
            for (std::size_t resource = 0; resource < resources; ++resource) {
                modal.capacities.push_back(source.capacities[resource]);
                modal.resource_kinds.push_back(resource % 2 == 0 ? 1 : 2);
            }
            const auto activities = static_cast<std::size_t>(source.activity_count);
            for (std::size_t activity = 0; activity < activities; ++activity) {
                const bool dummy = activity == 0 || activity + 1 == activities;
                const std::int32_t modes = dummy ? 1 : 3;
                modal.mode_counts.push_back(modes);
                for (std::int32_t mode = 0; mode < modes; ++mode) {
                    modal.durations.push_back(source.durations[activity] + 2 * mode);
                    for (std::size_t resource = 0; resource < resources; ++resource) {
                        const std::int32_t demand = source.demands[activity * resources + resource];
                        modal.demands.push_back(demand > mode ? demand - mode : demand);
                    }
                }
                modal.successor_counts.push_back(source.successor_counts[activity]);
            }
            for (const std::int32_t successor : source.successors) modal.successors.push_back(successor);
            for (const char* name : {"mm", "json", "dzn"}) {
                const layout_format* format = find_format(name);
                std::string written;
                const double write_seconds = best_seconds([&] {
                    written.clear();
                    write_layout(written, format->write, modal);
                });
                instance back;
                const double read_seconds = best_seconds([&] {
                    text_cursor cursor{written};
                    if (format->read(text_source(&cursor), back, nullptr) || !has_modes(back)) std::abort();
                });
                // The texts kept for bench/run.sh's memory figures, when asked.
                if (const char* keep = std::getenv("LAYOUT_MODES_DIR"); keep != nullptr && argument == 1) {
                    std::ofstream kept(std::string(keep) + "/modes." + name, std::ios::binary);
                    kept << written;
                }
                const double megabytes = static_cast<double>(written.size()) / 1e6;
                std::printf("%s %s+modes %zu %.0f %.0f\n", argv[argument], name, written.size(),
                            megabytes / read_seconds, megabytes / write_seconds);
            }
        }
        // The same network with general time lags, every arc its own (a third
        // of them negative), through sch both ways: the RCPSP/max sets' case.
        std::size_t arc = 0;
        for (std::size_t activity = 0; activity < static_cast<std::size_t>(source.activity_count); ++activity)
            for (std::int32_t index = 0; index < source.successor_counts[activity]; ++index, ++arc)
                source.lags.push_back(source.durations[activity] + static_cast<std::int32_t>(arc % 9) - 5);
        std::string written;
        const double write_seconds = best_seconds([&] {
            written.clear();
            write_layout(written, write_sch, source);
        });
        instance back;
        const double read_seconds = best_seconds([&] {
            text_cursor cursor{written};
            if (read_sch(text_source(&cursor), back, nullptr) || !has_general_lags(back)) std::abort();
        });
        const double megabytes = static_cast<double>(written.size()) / 1e6;
        std::printf("%s sch+lags %zu %.0f %.0f\n", argv[argument], written.size(), megabytes / read_seconds,
                    megabytes / write_seconds);
    }
    return 0;
}
