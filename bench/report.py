#!/usr/bin/python3
"""Prints the benchmark's table from the samples bench/collect.sh wrote:
each library's size, imports, medians, and its ratios to each reference,
pair by pair, as Markdown for docs/measurements.md.
  report.py SAMPLES DIST_DIR BENCH_DIR"""

import datetime
import os
import platform
import statistics
import sys

import pefile

# Each shipped library, its dialog import, and its conventional build.
LIBRARIES = {
    "Pellor.dll": ("GetSaveFileNameW", "ConventionalPellor.dll"),
    "Dravik.dll": ("GetOpenFileNameW", "ConventionalDravik.dll"),
}
FLOOR = "Floor.dll"
MAX_FILE_BYTES = 5632
MAX_TIMES_FLOOR = 1.25
# One command against the conventional build of the same source: no slower,
# with a tenth allowed for the noise left in the median of per-round ratios.
MAX_COMMAND_TIMES_CONVENTIONAL = 1.10
# A time is shown only when it spans this many of the timer's smallest steps
# (1 % at worst); below that the figure is mostly the timer's.
RESOLVED_STEPS = 100


def parse(path):
    s = {"machine": {}, "cycle": {}, "command": {}, "command_total": {}, "memory": {},
         "resolution": 1}
    with open(path) as f:
        for line in f:
            w = line.split()
            if not w:
                continue
            if w[0] == "machine":
                s["machine"][w[1]] = " ".join(w[2:])
            elif w[0] == "frequency":
                s["frequency"] = int(w[1])
            elif w[0] == "resolution":
                s["resolution"] = int(w[1])
            elif w[0] == "cycle":
                s["cycle"].setdefault(w[1], {})[int(w[2])] = int(w[3])
            elif w[0] == "command":
                s["command"].setdefault(w[1], {})[int(w[2])] = int(w[3]) / int(w[4])
                s["command_total"].setdefault(w[1], {})[int(w[2])] = int(w[3])
            elif w[0] == "memory":
                s["memory"].setdefault(w[1], []).append([int(x) for x in w[2:6]])
    return s


def imports(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    return {
        entry.dll.decode().upper(): sorted(i.name.decode() if i.name else f"#{i.ordinal}"
                                           for i in entry.imports)
        for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    }


def paired(a, b):
    """Median of the per-round ratios: drift within the run cancels out."""
    return statistics.median(a[r] / b[r] for r in a if r in b and b[r] > 0)


def ratio(a, b):
    return a / b if b else None


def fmt(x, digits=2):
    return "—" if x is None else f"{x:,.{digits}f}"


def machine(m):
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    text = f"{cpu}, {os.cpu_count()} cores, Linux {platform.release()}"
    if m.get("guest") == "1":
        text += (f"; Wine ran inside the emulated amd64 Debian guest (qemu software"
                 f" emulation, {m.get('cpu')}, {m.get('cores')} cores)")
    return f"{text}; {m.get('wine')}"


def main():
    samples_path, dist, bench = sys.argv[1:4]
    s = parse(samples_path)
    ticks = s["frequency"]
    smallest = RESOLVED_STEPS * s["resolution"]  # ticks a time must span
    names = list(LIBRARIES) + [FLOOR] + [c for _, c in LIBRARIES.values()]
    where = {n: os.path.join(dist if n in LIBRARIES else bench, n) for n in names}

    row = {}
    for n in names:
        mem = s["memory"][n]
        row[n] = {
            "bytes": os.path.getsize(where[n]),
            "imports": sum(len(v) for v in imports(where[n]).values()),
            "cycle": statistics.median(s["cycle"][n].values()) / ticks * 1e3,
            "command": statistics.median(s["command"][n].values()) / ticks * 1e6,
            "resolved": statistics.median(s["command_total"][n].values()) >= smallest,
            "private": statistics.median(m[1] for m in mem) / 1024,
            "added": statistics.median(m[1] - m[0] for m in mem) / 1024,
            "mapped": statistics.median(m[3] - m[2] for m in mem) / 1024,
            "memory": {i: m[1] for i, m in enumerate(mem)},
        }

    rounds = len(s["cycle"][FLOOR])
    calls = "?"
    with open(samples_path) as f:
        for line in f:
            if line.startswith("command "):
                calls = line.split()[4]
                break
    label = {FLOOR: "floor"}
    label.update({c: f"conventional {n[:-4]}" for n, (_, c) in LIBRARIES.items()})

    calls_per_round = int(calls) if calls != "?" else 1
    below = smallest / calls_per_round / ticks * 1e6  # µs per command
    out = []
    out.append("| Library | Bytes on disk | Imported functions | Load, install, unload (ms)"
               " | One command (µs) | Private memory after load (KiB)"
               " | Added by the load: private, mapped (KiB) |")
    out.append("|---|--:|--:|--:|--:|--:|--:|")
    for n in names:
        r = row[n]
        name = f"{n} ({label[n]})" if n in label else n
        command = fmt(r["command"], 3) if r["resolved"] else f"< {fmt(below, 3)}"
        out.append(f"| {name} | {r['bytes']:,} | {r['imports']} | {fmt(r['cycle'])}"
                   f" | {command} | {fmt(r['private'], 0)}"
                   f" | +{fmt(r['added'], 0)}, +{fmt(r['mapped'], 0)} |")
    out.append("")
    out.append("| Ratio | Bytes on disk | Imported functions | Load, install, unload"
               " | One command | Private memory after load |")
    out.append("|---|--:|--:|--:|--:|--:|")
    goals, figures = [], []
    for n, (dialog, conv) in LIBRARIES.items():
        got = imports(where[n])
        want = {"USER32.DLL": ["MessageBoxA", "MessageBoxW"], "COMDLG32.DLL": [dialog],
                "KERNEL32.DLL": ["GetACP", "GetShortPathNameW", "WideCharToMultiByte", "lstrcpyA"]}
        goals.append((f"{n}: {row[n]['bytes']:,} bytes on disk, at most {MAX_FILE_BYTES:,}",
                      row[n]["bytes"] <= MAX_FILE_BYTES))
        goals.append((f"{n}: imports {', '.join(f for fs in got.values() for f in fs)}",
                      got == want))
        for ref in (FLOOR, conv):
            a, b = row[n], row[ref]
            cycle = paired(s["cycle"][n], s["cycle"][ref])
            command_ratio = (paired(s["command"][n], s["command"][ref])
                             if a["resolved"] and b["resolved"] else None)
            out.append(f"| {n} ÷ {label[ref]} | {fmt(ratio(a['bytes'], b['bytes']))}"
                       f" | {fmt(ratio(a['imports'], b['imports']))} | {fmt(cycle)}"
                       f" | {fmt(command_ratio)}"
                       f" | {fmt(paired(a['memory'], b['memory']))} |")
            said = f"{n}: load, install, unload {cycle:.2f} × {label[ref]}"
            if ref == FLOOR:
                goals.append((f"{said}, at most {MAX_TIMES_FLOOR:.2f}", cycle <= MAX_TIMES_FLOOR))
            else:  # by how much depends on the machine: that is a figure, not a goal
                goals.append((f"{said}, cheaper (below 1)", cycle < 1))
                limit = f"at most {MAX_COMMAND_TIMES_CONVENTIONAL:.2f}"
                if s["machine"].get("guest") == "1":
                    # Emulation makes the library's own few instructions far
                    # dearer than the conventional build's (the library before
                    # the wide dialog measured 3.45 times it there, 0.99
                    # natively): there this ratio is a figure, not a verdict.
                    figures.append(f"{n}: one command {fmt(command_ratio)} × {label[ref]}"
                                   f", a figure in the emulated guest: judged only natively")
                elif command_ratio is None:  # a skip is not a pass
                    goals.append((f"{n}: one command × {label[ref]}: too short for the"
                                  f" timer to compare, {limit}", False))
                else:
                    goals.append((f"{n}: one command {command_ratio:.2f} × {label[ref]}, {limit}",
                                  command_ratio <= MAX_COMMAND_TIMES_CONVENTIONAL))
    out.append("")
    out.append(f"Medians of {rounds} interleaved rounds ({calls} commands timed together"
               f" per round), private memory of {len(row[FLOOR]['memory'])} fresh"
               f" processes per library; ratios are medians of the per-round ratios.")
    out.append(f"Timer: {ticks:,} ticks a second, its smallest step seen {s['resolution']}"
               f" ticks; a command time is shown where the {calls} commands of a round"
               f" spanned at least {RESOLVED_STEPS} steps, otherwise as an upper bound"
               f" with no ratio.")
    out.append(f"Machine: {machine(s['machine'])}."
               f" Run {datetime.date.today().isoformat()}.")
    out.append("")
    for text, met in goals:
        out.append(f"- {text}: {'met' if met else 'NOT met'}")
    out += [f"- {text}" for text in figures]
    print("\n".join(out))
    return 0 if all(met for _, met in goals) else 1


if __name__ == "__main__":
    sys.exit(main())
