#include "files/archive_inputs.h"

#include <memory>

#include "files/archive_reader.h"
#include "files/json_lines.h"

namespace converter {

void index_archives(std::vector<input_file>& inputs, const listing_options& options, listing_summary& summary) {
    for (input_file& input : inputs) {
        const archive_kind kind = input.error ? archive_kind::none : archive_of(input.path);
        if (kind == archive_kind::none) continue;
        archive_reader reader;
        int error = 0;
        if (!reader.open(input.path, kind, error)) {
            input.error = std::error_code(error, std::generic_category());
            continue;
        }
        auto index = std::make_shared<bundle_index>();
        index->archive = true;
        archive_member member;
        while (reader.next(member, false)) {
            if (member.directory) continue;
            if (member.refused.view().empty()) {
                const std::filesystem::path name = member.path.filename();
                if (name.native()[0] == '.' || !takes_found_file(name, options, summary)) continue;
                index->named.push_back({member.number, member.path});
            } else {
                index->refused.push_back(member.number);
            }
            ++index->instances;
        }
        input.bundle = std::move(index);
    }
}

} // namespace converter
