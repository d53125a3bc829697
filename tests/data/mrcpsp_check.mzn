% The nine names of MiniZinc's multi-mode RCPSP model (mrcpsp), declared as its
% data use them, and a plain model over them: a mode and a start per task,
% renewable resources per period, nonrenewable ones over the whole project.
include "cumulative.mzn";

int: n_res;
set of int: Res = 1..n_res;
array [Res] of int: rcap;
array [Res] of 1..2: rtype;
int: n_tasks;
set of int: Tasks = 1..n_tasks;
array [Tasks] of set of int: modes;
array [Tasks] of set of int: succ;
int: n_opt;
set of int: Modes = 1..n_opt;
array [Modes] of int: dur;
array [Res, Modes] of int: rreq;

int: t_max = sum(i in Tasks)(max([dur[m] | m in modes[i]]));
array [Tasks] of var Modes: mode;
array [Tasks] of var 0..t_max: s;
array [Tasks] of var 0..max(dur): d = [dur[mode[i]] | i in Tasks];
var 0..t_max: makespan;

constraint forall(i in Tasks)(mode[i] in modes[i]);
constraint forall(i in Tasks, j in succ[i])(s[i] + d[i] <= s[j]);
constraint forall(r in Res where rtype[r] = 1)(cumulative(s, d, [rreq[r, mode[i]] | i in Tasks], rcap[r]));
constraint forall(r in Res where rtype[r] = 2)(sum(i in Tasks)(rreq[r, mode[i]]) <= rcap[r]);
constraint forall(i in Tasks)(s[i] + d[i] <= makespan);
solve minimize makespan;
output ["makespan = \(makespan);\n"];
