// The console driver: asks for the two paths, opens the files, converts, and is
// the only place that talks to the user or decides the exit status.
#include <cerrno>
#include <cstdio>

#include "converted_writer.h"
#include "file_identity.h"
#include "instance.h"
#include "messages.h"

namespace {

constexpr std::size_t path_capacity = 200; // 199 characters and the NUL

// Messages end without a line end, like the two that users already know. Nothing
// on the way to the user allocates memory, so running out of it is reported too.
int fail(const char* message) {
    std::fputs(message, stdout);
    std::fflush(stdout);
    return 1;
}

void prompt(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout); // also when stdout is a pipe, where it is fully buffered
}

enum class answer { given, missing, too_long, has_nul };

// Reads one white-space-delimited token, as "%s" would, but never more than the
// buffer holds: a longer token is refused rather than cut into another path.
answer read_answer(char (&path)[path_capacity]) {
    const auto is_space = [](int c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    int c = std::getchar();
    while (c != EOF && is_space(c)) c = std::getchar();
    if (c == EOF) return answer::missing;
    std::size_t length = 0;
    for (; c != EOF && !is_space(c); c = std::getchar()) {
        if (length == path_capacity - 1) return answer::too_long;
        if (c == '\0') return answer::has_nul;
        path[length++] = static_cast<char>(c);
    }
    path[length] = '\0';
    return answer::given;
}

const char* refusal(answer result) {
    switch (result) {
    case answer::missing: return "No path given: standard input ended.";
    case answer::too_long: return "Path too long: a path can have at most 199 characters.";
    case answer::has_nul: return "A path can't contain a NUL character.";
    case answer::given: break;
    }
    return "";
}

} // namespace

int main() {
    char input_path[path_capacity];
    char output_path[path_capacity];

    prompt("Enter input path\n");
    if (const answer result = read_answer(input_path); result != answer::given) return fail(refusal(result));
    prompt("Enter output path\n");
    if (const answer result = read_answer(output_path); result != answer::given) return fail(refusal(result));

    std::FILE* const input = std::fopen(input_path, "r");
    if (input == nullptr && errno == ENOMEM) return fail("Not enough memory to open the input file.");
    if (input == nullptr || converter::is_directory(input)) return fail("Couldn't read input file. Check path.");
    // Opening the output empties it, so a pair that names one file twice would
    // destroy the input before it is read.
    if (converter::is_same_file(input, output_path))
        return fail("The input and output paths name the same file. Choose another output path.");
    // A FIFO opened for reading too never waits for its reader, and what is
    // written into it is lost when the program ends; opened for writing only,
    // it waits for its reader as any writer does.
    std::FILE* const output = std::fopen(output_path, converter::is_fifo(output_path) ? "w" : "w+");
    if (output == nullptr && errno == ENOMEM) return fail("Not enough memory to open the output file.");
    if (output == nullptr) return fail("Couln't write output file. Check path.");
    // Reader and writer move whole chunks through buffers of their own.
    std::setvbuf(input, nullptr, _IONBF, 0);
    std::setvbuf(output, nullptr, _IONBF, 0);

    converter::instance instance;
    // The reader places a failure itself: the input is never read again, which a
    // pipe could not do.
    if (const converter::read_failure failure = converter::read_instance(input, instance))
        return fail(converter::describe(failure).c_str());
    std::fclose(input);

    const converter::write_failure written = converter::write_converted(output, instance);
    if (written.out_of_memory) return fail(converter::out_of_memory_message);
    if (written) return fail(converter::describe_write_error(written.system_error).c_str());
    if (std::fclose(output) != 0) return fail(converter::describe_write_error(errno != 0 ? errno : EIO).c_str());
    return 0;
}
