// The writer of PSPLIB's layouts, single-mode (`sm`) and multi-mode (`mm`),
// line for line as PSPLIB's own files are written, so that every reader
// written for PSPLIB reads it: 2N + 27 lines with one mode per job, one more
// for each further mode, each ended by "\n" (CR LF through a text-mode stream
// on Windows). The fields PSPLIB right-aligns keep their widths; a number that
// fills or overflows its column (in PROJECT INFORMATION's fields 2 to 6, the
// mode and successor counts, each successor, each mode number, each demand,
// each capacity, a resource label's number) gets one blank before it, so that
// numbers never run together: labels are "R 1" to "R 9", then "R 10". The
// resources are written renewable first, then nonrenewable ("N 1"), then
// doubly constrained ("D 1"), each kind in its own order and numbered from 1.
// A further mode's row leaves the job's column blank.
//
// The header's values (see project_header) are written as held; what an
// instance does not hold is written as PSPLIB's neutral value: seed 0,
// release date 0, tardiness cost 0. The basedata name is then the source's
// name with ".bas" ("J301_1.bas"; "instance.bas" for an instance read from no
// named file), one word; the horizon the sum of each job's longest duration;
// the due date and the MPM time the earliest finish of job N when every job,
// in its shortest mode, starts at the latest finish of its predecessors (0
// without any), 0 where no such schedule exists. With R = 0 the resource label
// line of RESOURCEAVAILABILITIES and the capacities line are empty.
#pragma once

#include "instance/instance.h"
#include "layouts/output_buffer.h"

namespace converter {

// `source` must have no negative count (see has_no_negative_count, which the
// table of layouts asks for this layout). Throws std::bad_alloc when the
// schedule for the MPM time can't get its memory.
void write_sm(output_buffer& buffer, const instance& source);

} // namespace converter
