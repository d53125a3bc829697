// The work converter-batch does for one input it checks, measures or bundles:
// read with the same reader as a conversion, nothing written.
#pragma once

#include <filesystem>
#include <string_view>

#include "files/input_work.h"
#include "instance/instance.h"

namespace converter {

// Reads `input` with the same reader, counting what follows the instance, and
// when it reads, validates it, keeping the first `finding_limit` findings.
// Never throws.
file_result check_file(const input_source& input, instance& scratch, std::size_t finding_limit);

// Reads the file `input` with the same reader into `scratch` (in `from`, or as
// its name or content says), its layout in `layout`. Never throws.
file_result read_instance_file(const std::filesystem::path& input, instance& scratch,
                               const layout_format* from = nullptr);

// Reads `input` with the same reader and, when it reads, computes its measures.
// Never throws.
file_result measure_file(const input_source& input, instance& scratch);

// The same for standard input, its layout told by its content unless `from` names it.
file_result check_standard_input(instance& scratch, std::size_t finding_limit, const layout_format* from = nullptr);
file_result measure_standard_input(instance& scratch, const layout_format* from = nullptr);

// Reads `input` with the same reader and, when it reads and the JSON layout
// can hold it, puts it in `bundle_line` as write_json_line writes it, named
// `name`. Never throws.
file_result bundle_file(const input_source& input, instance& scratch, std::string_view name);

} // namespace converter
