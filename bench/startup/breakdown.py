"""Start-up breakdown from a trace of startup_launcher --trace: the median of
each step over the runs (the first run, which warms the caches, left out)."""
import statistics
import sys

runs, cur, freq = [], None, 1.0
for line in open(sys.argv[1], encoding="ascii"):
    name, ticks = line.rsplit(" ", 1)
    if name == "frequency":
        freq = float(ticks)
        cur = []
        runs.append(cur)
    elif cur is not None:
        cur.append((name, int(ticks)))
steps = {}
order = []
for run in runs[1:]:
    seen = {}
    for (a, ta), (b, tb) in zip(run, run[1:]):
        key = f"{a} -> {b}"
        n = seen.get(key, 0)
        seen[key] = n + 1
        key = key if n == 0 else f"{key} ({n + 1})"
        if key not in steps:
            order.append(key)
        steps.setdefault(key, []).append((tb - ta) * 1000.0 / freq)
total = [(r[-1][1] - r[0][1]) * 1000.0 / freq for r in runs[1:] if r]
for key in order:
    print(f"  {key:44s} {statistics.median(steps[key]):7.1f} ms")
if total:
    print(f"  {'total':44s} {statistics.median(total):7.1f} ms (median of {len(total)})")
