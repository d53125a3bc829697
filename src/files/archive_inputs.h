// Archives named as inputs, read as directories: each member an input.
#pragma once

#include <vector>

#include "files/input_list.h"

namespace converter {

// Reads each entry of `inputs` that is an archive by its name (see
// archive_of) and carries no error once, and sets its `bundle` to an
// archive's index: its members that `options` takes as a directory listing
// would (directories and names starting with a dot left out), in archive
// order, each at its path in the archive (as a directory's files are at
// theirs below it); members refused by name (links, paths out of the
// archive) are kept as such. An archive that can't be opened gets `error`; one that
// fails on the way is indexed as far as it reads, and the run reports the
// failure where it comes. Counts what it passes over into `summary`. Throws
// std::bad_alloc when memory runs out.
void index_archives(std::vector<input_file>& inputs, const listing_options& options, listing_summary& summary);

} // namespace converter
