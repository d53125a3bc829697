// The progress of a run on standard error, and what an interrupt reports of it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>

namespace converter::batch {

using clock_type = std::chrono::steady_clock;

bool standard_error_is_terminal();

// What an interrupt reports, from whichever thread takes it.
struct run_state {
    std::atomic<std::size_t> finished{0}, total{0};
    std::atomic<bool> quiet{true};
    std::atomic<std::size_t> progress_drawn{0}; // columns of the progress line on screen
};
extern run_state shared_state;

// Erases the progress line when one is drawn, with blanks rather than an
// escape sequence, which not every console knows.
void erase_progress();

// The progress line, "12 of 480 files, 0 failed" and after three seconds the
// rate and the time left, the noun as given; drawn only when `shown` (on a
// terminal), at most ten times a second, and erased before other output.
class progress_line {
public:
    progress_line(bool shown, std::size_t total, clock_type::time_point start, const char* noun)
        : shown_(shown), total_(total), start_(start), noun_(noun) {}

    void update(std::size_t done, std::size_t failed);
    void erase() {
        if (shown_) erase_progress();
    }

private:
    bool shown_;
    std::size_t total_;
    clock_type::time_point start_;
    const char* noun_;
    bool drawn_once_ = false;
    clock_type::time_point last_drawn_;
};

} // namespace converter::batch
