"""Prints bench/page-load's medians, their ratios and the targets.
   report_page_load.py RESULTS  (lines "reader|bare FIRST_TITLE_MS LOAD_MS")"""
import os
import platform
import statistics
import sys
import time

runs = {"reader": [], "bare": []}
for line in open(sys.argv[1]):
    who, first, load = line.split()
    runs[who].append((float(first), float(load)))

memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2**30
print(f"\nMachine: {os.cpu_count()} cores, {memory:.0f} GiB, Linux {platform.release()}, "
      f"load average {os.getloadavg()[0]:.2f} at the end; {time.strftime('%Y-%m-%d %H:%M')}")
for who in ("reader", "bare"):
    print(f"{who:<7} start to first title (ms): {' '.join(f'{f:7.1f}' for f, _ in runs[who])}")
    print(f"{who:<7} page load in the page (ms): {' '.join(f'{l:7.1f}' for _, l in runs[who])}")
first = {w: statistics.median(f for f, _ in runs[w]) for w in runs}
load = {w: statistics.median(l for _, l in runs[w]) for w in runs}
print(f"\nmedians ({len(runs['reader'])} runs each): reader {first['reader']:.1f} ms to the first title, "
      f"{load['reader']:.1f} ms page load; bare view from nginx {first['bare']:.1f} ms, {load['bare']:.1f} ms")


def target(what, value, goal):
    print(f"  {what:<48} {value:5.2f}  (target <= {goal:.2f})  {'met' if value <= goal else 'MISSED'}")


print("Targets (reader over bare view):")
target("picture page load", load["reader"] / load["bare"], 1.05)
target("program start to first page title", first["reader"] / first["bare"], 1.10)
