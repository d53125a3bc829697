#!/usr/bin/env python3
"""Small inputs that ask much of --check and of the readers, for measuring
their bounds: python3 bench/hostile_inputs.py DIR writes

  modes_2x7000.json   two activities of 7,000 modes on six nonrenewable resources
  modes_1x60000.json  one activity of 60,000 modes
  chain_40000.json    a chain of 40,000 activities with arcs back of lag -1
  lines_2000000.jsonl 2,000,000 lines of {}
"""
import json
import random
import sys


def modes_project(jobs, modes, resources, seed):
    rng = random.Random(seed)
    zero = [0] * resources
    activities = [{"duration": 0, "demands": zero, "successors": list(range(1, jobs + 1))}]
    for _ in range(jobs):
        # Demands that add up to the same total: no mode is below another in
        # every resource, so every mode and every sum is Pareto-minimal.
        job_modes = []
        for _ in range(modes):
            cuts = sorted(rng.randrange(3001) for _ in range(resources - 1))
            parts = [high - low for low, high in zip([0] + cuts, cuts + [3000])]
            job_modes.append({"duration": 1, "demands": parts})
        activities.append({"modes": job_modes, "successors": [jobs + 1]})
    activities.append({"duration": 0, "demands": zero, "successors": []})
    return {"capacities": [10 ** 6] * resources, "kinds": ["nonrenewable"] * resources, "activities": activities}


def lag_chain(tasks):
    # Task t leads to t - 1 (lag 1) and back to t + 1 (lag -1): every cycle
    # adds up to 0, and the chain runs against the activities' order.
    activities = [{"duration": 0, "demands": [], "successors": [tasks], "lags": [0]}]
    for task in range(1, tasks + 1):
        successors, lags = [], []
        if task > 1:
            successors.append(task - 1)
            lags.append(1)
        if task < tasks:
            successors.append(task + 1)
            lags.append(-1)
        if task == 1:
            successors.append(tasks + 1)
            lags.append(1)
        activities.append({"duration": 1, "demands": [], "successors": successors, "lags": lags})
    activities.append({"duration": 0, "demands": [], "successors": [], "lags": []})
    return {"capacities": [], "activities": activities}


def main():
    directory = sys.argv[1]
    for name, value in (("modes_2x7000.json", modes_project(2, 7000, 6, 1)),
                        ("modes_1x60000.json", modes_project(1, 60000, 6, 2)),
                        ("chain_40000.json", lag_chain(40000))):
        with open(f"{directory}/{name}", "w") as out:
            json.dump(value, out, separators=(",", ":"))
    with open(f"{directory}/lines_2000000.jsonl", "w") as out:
        out.write("{}\n" * 2000000)


if __name__ == "__main__":
    main()
