// The writer of Graphviz's layout (`dot`): a picture of the precedence network,
// for `dot -Tsvg` and the like. Written only.
//
//   digraph project {
//     rankdir=LR;
//     labelloc=t;
//     label="J301_1\ncapacities 12, 13";  (the source's name, when known, and
//                                          the capacities; "no resources"; then
//                                          "\nkinds R, R, N, N" when some
//                                          resource is not renewable)
//     nslimit=2;  nslimit1=2;  mclimit=0.1;  (each on its own line, past 1,000 arcs)
//     node [shape=box, fontname="Helvetica", fontsize=10];
//     1 [shape=point, width=0.12, label=""];
//     2 [label="2\nd 3\n4, 2"];
//     ...
//     1 -> 2;
//     ...
//   }
//
// One node per activity, numbered from 1 as the rcp layout numbers them, its
// label the number, "d" and the duration, and the demands; an activity with
// several modes shows their count and its shortest mode (the first among
// equals): "2\n3 modes, shortest:\nd 2\n0, 3". The first and the last
// activity, when they are dummies (one mode, duration 0, no demand other than 0),
// are small points. One arc per successor in the instance's order, the ones
// outside 1..N included (Graphviz draws their heads as plain nodes), left to
// right. A network of more than 1,000 arcs gets limits on dot's ranking and
// crossing passes, which keep its drawing to seconds rather than minutes; every
// node and arc is drawn all the same. Every line ends in "\n" (CR LF through a text-mode stream on Windows).
#pragma once

#include "instance/instance.h"
#include "layouts/output_buffer.h"

namespace converter {

// `source` must be as a successful read leaves it.
void write_dot(output_buffer& buffer, const instance& source);

} // namespace converter
