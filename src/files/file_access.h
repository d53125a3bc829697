// Files as this layer opens, creates and replaces them: descriptors rather
// than streams, and temporary files that become outputs only once complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

#include "instance/messages.h"

namespace converter {

// The temporary files a thread is writing (one per layout being written;
// none while it writes none), in a slot of the thread's own, so that
// converting costs no contended lock: only an interrupt takes every slot's
// mutex, and keeps it, so that no file is renamed after it.
struct temporary_slot {
    std::mutex mutex;
    std::vector<std::filesystem::path> files;
};

// The calling thread's slot; slots outlive their threads.
temporary_slot& own_slot();
// Removes the files of `slot` and empties it.
void discard_temporaries(temporary_slot& slot);

// "<what><the system's reason for `error`>."
message_text system_message(const char* what, int error);

// Opens `path` for reading in text mode (binary for compressed data, which
// matters on Windows); -1 with errno set.
int open_for_reading(const std::filesystem::path& path, bool binary = false);
int close_descriptor(int descriptor);
// The size of the file open as `descriptor` when it is a regular file, else 0.
std::uint64_t size_of(int descriptor);

// Creates a new file beside `output` (in its system spelling), named "." +
// its name + a random tail so that listings skip it, for writing in text mode
// (or binary, for compressed data), with the permissions of any new file, and
// names it in `temporary`. Returns its descriptor, or -1 with errno set.
int create_temporary(const std::filesystem::path& output, std::filesystem::path& temporary, bool binary = false);

// Whether creating a file fails for `error` for every file of its directory
// alike (no permission, a read-only or full file system, no directory).
bool is_directory_wide(int error);

int standard_output_descriptor();
int standard_input_descriptor();
std::uint64_t standard_input_size();

// For an interrupt: removes every temporary file that a conversion still holds
// and keeps any conversion from renaming one afterwards (conversions that get
// that far wait for good). Call it only on the way out of the process. Safe to
// call from any thread, not from a signal handler.
void remove_temporary_files_for_exit();

} // namespace converter
