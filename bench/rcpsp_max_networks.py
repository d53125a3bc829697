#!/usr/bin/env python3
"""Writes random RCPSP/max instances in the sch layout: rcpsp_max_networks.py DIR COUNT [SEED].

Sizes as the public sets have them (10 to 500 tasks), two resources, and for
each task some 1.5 pairs of arcs holding it within a narrow window of another,
around a schedule drawn first, so that the lags hold no cycle of positive lag
and the resources decide: the networks --check's forced-overlap proofs work on."""
import os
import random
import sys

directory, count = sys.argv[1], int(sys.argv[2])
random.seed(int(sys.argv[3]) if len(sys.argv) > 3 else 11)
os.makedirs(directory, exist_ok=True)
for number in range(count):
    tasks = random.choice([10, 20, 30, 50, 100, 200, 500])
    resources = 2
    durations = [0] + [random.randint(1, 10) for _ in range(tasks)] + [0]
    starts = [0] + [random.randint(0, 3 * tasks) for _ in range(tasks)] + [0]
    demands = [[0] * resources] + [[random.randint(0, 6) for _ in range(resources)] for _ in range(tasks)]
    demands.append([0] * resources)
    capacities = [random.randint(6, 12) for _ in range(resources)]
    successors = {activity: {} for activity in range(tasks + 2)}
    for task in range(1, tasks + 1):
        successors[0][task] = 0
        successors[task][tasks + 1] = durations[task]
    for _ in range(int(tasks * 1.5)):
        first, second = random.randint(1, tasks), random.randint(1, tasks)
        if first == second:
            continue
        gap = starts[second] - starts[first]
        successors[first][second] = max(successors[first].get(second, -10**9), gap - random.randint(0, 3))
        successors[second][first] = max(successors[second].get(first, -10**9), -(gap + random.randint(0, 3)))
    lines = [f"{tasks}\t{resources}\t0\t0"]
    for activity in range(tasks + 2):
        arcs = sorted(successors[activity].items())
        lines.append("\t".join([str(activity), "1", str(len(arcs))] + [str(to) for to, _ in arcs] +
                               [f"[{lag}]" for _, lag in arcs]))
    for activity in range(tasks + 2):
        lines.append("\t".join([str(activity), "1", str(durations[activity])] + [str(d) for d in demands[activity]]))
    lines.append("\t".join(str(capacity) for capacity in capacities))
    with open(os.path.join(directory, f"r{number:03d}.sch"), "w") as file:
        file.write("\n".join(lines) + "\n")
