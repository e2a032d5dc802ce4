"""Prints bench/serve's table, the machine it ran on and each ratio against its target.
   report_serve.py RESULTS.tsv INFLATION_MB_PER_S LARGE_ENTRY_BYTES"""
import os
import platform
import subprocess
import sys
import time

results, inflate, large_size = sys.argv[1], float(sys.argv[2]), int(sys.argv[3])
rows = {}
warnings = []
for line in open(results):
    name, conns, server, rps, p50, p99, p99full, errors = line.split("\t")
    rows[(name, int(conns), server)] = (float(rps), float(p50), float(p99), float(p99full))
    if int(errors):
        warnings.append(f"{server} {name} at {conns}: {int(errors)} failed requests")


def cpu():
    try:
        for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
            if line.startswith("Model name:"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown processor"


memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2**30
print(f"\nMachine: {os.cpu_count()} cores ({cpu()}), {memory:.0f} GiB, Linux {platform.release()}, "
      f"load average {os.getloadavg()[0]:.2f} at the end; {time.strftime('%Y-%m-%d %H:%M')}")
print("p99 is wrk's (from connected to answered); p99 full is ours (from connect to answered).\n")
header = (f"{'entry':<8} {'conns':>5} | {'ours r/s':>9} {'p50 ms':>7} {'p99':>7} {'p99 full':>8} | "
          f"{'nginx r/s':>9} {'p50 ms':>7} {'p99':>7} {'p99 full':>8} | {'r/s x':>6} {'p50 x':>6} {'p99f x':>6}")
print(header)
ratio = lambda a, b: a / b if b else float("nan")
for name in ("small", "style", "picture", "large"):
    for conns in (1, 8, 64):
        o, n = rows[(name, conns, "ours")], rows[(name, conns, "nginx")]
        print(f"{name:<8} {conns:>5} | {o[0]:9.1f} {o[1]:7.2f} {o[2]:7.2f} {o[3]:8.2f} | "
              f"{n[0]:9.1f} {n[1]:7.2f} {n[2]:7.2f} {n[3]:8.2f} | "
              f"{ratio(o[0], n[0]):6.2f} {ratio(o[1], n[1]):6.2f} {ratio(o[3], n[3]):6.2f}")

served = rows[("large", 1, "ours")][0] * large_size / 1e6
print(f"\nin-process inflation of the large entry: {inflate:.1f} MB/s; served at 1 connection: {served:.1f} MB/s")


def target(what, value, goal, higher_is_better=True):
    met = value >= goal if higher_is_better else value <= goal
    sign = ">=" if higher_is_better else "<="
    print(f"  {what:<52} {value:6.2f}  (target {sign} {goal:.2f})  {'met' if met else 'MISSED'}")


print("\nTargets:")
target("small page, 8 connections, r/s over nginx's", ratio(rows[("small", 8, "ours")][0], rows[("small", 8, "nginx")][0]), 1.0)
target("style sheet, 8 connections, r/s over nginx's", ratio(rows[("style", 8, "ours")][0], rows[("style", 8, "nginx")][0]), 1.0)
target("picture, 8 connections, r/s over nginx's", ratio(rows[("picture", 8, "ours")][0], rows[("picture", 8, "nginx")][0]), 0.8)
target("large entry, 1 connection, over inflation speed", ratio(served, inflate), 0.9)
for name in ("small", "style", "picture", "large"):
    target(f"{name}, 64 connections, p99 full over nginx's",
           ratio(rows[(name, 64, "ours")][3], rows[(name, 64, "nginx")][3]), 2.0, higher_is_better=False)
for w in warnings:
    print("warning:", w)
