#include "batch/progress.h"

#include <cstdio>
#include <string>

#include "batch/text_output.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace converter::batch {

run_state shared_state;

bool standard_error_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void erase_progress() {
    const std::size_t drawn = shared_state.progress_drawn.exchange(0);
    if (drawn == 0) return;
    std::string blanks(drawn + 2, ' ');
    blanks.front() = '\r';
    blanks.back() = '\r';
    write_text(stderr, blanks);
    std::fflush(stderr);
}

void progress_line::update(std::size_t done, std::size_t failed) {
    if (!shown_) return;
    const clock_type::time_point now = clock_type::now();
    if (drawn_once_ && now - last_drawn_ < std::chrono::milliseconds(100)) return;
    drawn_once_ = true;
    last_drawn_ = now;
    char line[160];
    int length = std::snprintf(line, sizeof line, "\r%zu of %zu %s, %zu failed", done, total_, noun_, failed);
    // A run of some seconds also shows its rate and the time it has left.
    const double seconds = std::chrono::duration<double>(now - start_).count();
    if (length > 0 && seconds >= 3 && done != 0) {
        const double rate = static_cast<double>(done) / seconds;
        const double left = static_cast<double>(total_ - done) / rate;
        const int more = std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length),
                                       ", %.0f %s/s, %.0f s left", rate < 1 ? 1 : rate, noun_, left);
        if (more > 0) length += more;
    }
    if (length <= 0) return;
    erase_progress();
    write_text(stderr, line);
    std::fflush(stderr);
    shared_state.progress_drawn.store(static_cast<std::size_t>(length) - 1);
}

} // namespace converter::batch
