% As rcpsp_check.mzn, including all of globals.mzn as MiniZinc's standard
% RCPSP model does: Debian 12's Gecode solves it only with its library fixed.
include "globals.mzn";

int: n_res;
set of int: Res = 1..n_res;
array [Res] of int: rc;
int: n_tasks;
set of int: Tasks = 1..n_tasks;
array [Tasks] of int: d;
array [Res, Tasks] of int: rr;
array [Tasks] of set of int: suc;

int: t_max = sum(i in Tasks)(d[i]);
array [Tasks] of var 0..t_max: s;
var 0..t_max: makespan;

constraint forall(i in Tasks, j in suc[i])(s[i] + d[i] <= s[j]);
constraint forall(r in Res)(cumulative(s, d, [rr[r, i] | i in Tasks], rc[r]));
constraint forall(i in Tasks)(s[i] + d[i] <= makespan);
solve minimize makespan;
output ["makespan = \(makespan);\n"];
