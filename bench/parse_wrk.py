"""Reads wrk --latency output on stdin; prints requests/s, p50 and p99 latency in ms."""
import re
import sys

UNITS = {"us": 0.001, "ms": 1.0, "s": 1000.0, "m": 60000.0}
text = sys.stdin.read()


def latency(percent):
    m = re.search(r"^\s*%s%%\s+([\d.]+)(us|ms|s|m)\s*$" % percent, text, re.M)
    return float(m.group(1)) * UNITS[m.group(2)] if m else 0.0


rps = re.search(r"Requests/sec:\s+([\d.]+)", text)
errors = re.search(r"Non-2xx or 3xx responses: (\d+)", text)
if errors:
    print(f"warning: {errors.group(1)} error answers", file=sys.stderr)
print(f"{float(rps.group(1)) if rps else 0.0} {latency(50)} {latency(99)}")
