// Writes a synthetic instance in the input layout, deterministic for a seed:
// activity 1 is a dummy start (duration 0, no demand) and activity N a dummy end
// (no successors); every other activity has at least one successor later than
// itself, so the graph has no cycle.
//
// Usage: generate_instance ACTIVITIES RESOURCES AVERAGE_SUCCESSORS SEED > file
// Prints "ACTIVITIES RESOURCES SUCCESSORS" (the successor total) on standard error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// splitmix64: small, fast and the same on every platform.
struct random_numbers {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    long long between(long long low, long long high) {
        return low + static_cast<long long>(next() % static_cast<std::uint64_t>(high - low + 1));
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: generate_instance ACTIVITIES RESOURCES AVERAGE_SUCCESSORS SEED\n", stderr);
        return 2;
    }
    const long long activities = std::atoll(argv[1]);
    const long long resources = std::atoll(argv[2]);
    const long long average = std::atoll(argv[3]);
    random_numbers random{std::strtoull(argv[4], nullptr, 10)};
    if (activities < 2 || resources < 0 || average < 1) {
        std::fputs("generate_instance: needs ACTIVITIES >= 2, RESOURCES >= 0, AVERAGE_SUCCESSORS >= 1\n", stderr);
        return 2;
    }

    long long successor_total = 0;
    std::string line;
    line = std::to_string(activities) + " " + std::to_string(resources) + "\n";
    for (long long resource = 0; resource < resources; ++resource)
        line += std::to_string(random.between(10, 40)) + (resource + 1 < resources ? " " : "");
    std::fputs((line + "\n").c_str(), stdout);

    for (long long activity = 1; activity <= activities; ++activity) {
        const bool dummy = activity == 1 || activity == activities;
        line = std::to_string(dummy ? 0 : random.between(1, 10));
        for (long long resource = 0; resource < resources; ++resource)
            line += " " + std::to_string(dummy ? 0 : random.between(0, 10));
        const long long later = activities - activity;
        long long count = later == 0 ? 0 : random.between(1, 2 * average - 1);
        if (count > later) count = later;
        line += " " + std::to_string(count);
        successor_total += count;
        // Successors spread over a window ahead of the activity, in increasing order.
        const long long window = later < 4 * average ? later : 4 * average;
        long long successor = activity;
        for (long long left = count; left > 0; --left) {
            const long long room = activity + window - successor - left + 1;
            successor += room > 1 ? random.between(1, room < 2 * window / count ? room : 2 * window / count) : 1;
            line += " " + std::to_string(successor);
        }
        line += "\n";
        std::fputs(line.c_str(), stdout);
    }
    std::fprintf(stderr, "%lld %lld %lld\n", activities, resources, successor_total);
    return 0;
}
