#!/usr/bin/env bash
# Records the traces of tests/data/traces on the simulated bench: each case
# is a run of the built program with /TRACE on a fresh bench folder; the
# case folder keeps the bench.json, the trace and the line, exit code and
# console output of the run (docs/trace.md, "The corpus").
# Usage: tools/trace_corpus.sh [program]   (default build/release/8634FWUpgradeTool)
set -u
cd "$(dirname "$0")/.."
program="$(realpath "${1:-build/release/8634FWUpgradeTool}")"
corpus=tests/data/traces

# One hub of the HBX773x family ("a"), with `faults` (a JSON object).
one_hub_bench() {
  cat <<JSON
{"hubs": {"driverInstalled": true, "devices": [
  {"name": "a", "family": "HBX773x", "firmwareVersion": "250115250000", "romVersion": "000000200000",
   "serial": "SN-a", "faults": $1,
   "usb3": {"pid": "0632", "pdo": "\\\\Device\\\\USBPDO-20"},
   "usb2": {"pid": "0622", "bcdUSB": "0210", "pdo": "\\\\Device\\\\USBPDO-21"}}]},
 "usb": {"controllers": [{"path": "\\\\\\\\?\\\\PCI#VEN_3A7F&DEV_7630#4&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
   "description": "Corvane Host", "ports": 20, "devices": [
     {"port": 1, "chip": "a", "side": "usb3", "devices": []},
     {"port": 11, "chip": "a", "side": "usb2", "devices": []}]}]}}
JSON
}

# record NAME LINE [BENCH_JSON]: an empty bench.json text is the built-in bench.
record() {
  local name="$1" line="$2" bench="${3:-}"
  local work
  work="$(mktemp -d)"
  [ -n "$bench" ] && printf '%s\n' "$bench" > "$work/bench.json"
  local status=0
  # shellcheck disable=SC2086
  HBX_TIME_SCALE=0 HBX_BENCH="$work" "$program" $line /TRACE 'C:\trace.jsonl' > "$work/output.txt" || status=$?
  local code=$(( status > 127 ? status - 256 : status ))
  rm -rf "${corpus:?}/$name"
  mkdir -p "$corpus/$name"
  [ -n "$bench" ] && cp "$work/bench.json" "$corpus/$name/"
  cp "$work/drive_c/trace.jsonl" "$corpus/$name/trace.jsonl"
  python3 - "$line" "$code" "$work/output.txt" > "$corpus/$name/case.json" <<'PY'
import json, sys
print(json.dumps({"commandLine": sys.argv[1], "exitCode": int(sys.argv[2]),
                  "output": open(sys.argv[3], encoding="utf-8", newline="").read()}, indent=2))
PY
  echo "$name: exit $code, $(wc -l < "$corpus/$name/trace.jsonl") trace lines"
  rm -rf "$work"
}

# The README's run: a console update on the built-in bench (the driver is
# installed and removed again, three hubs are written).
record readme-run "/DOS /DBG 3"
# A hub whose download fails half-way.
record failed-hub "/DOS /DBG 3" "$(one_hub_bench '{"completionError": 31, "failAt": {"phase": "download", "nth": 5}, "failCount": 4294967295}')"
# A hub that loses its power during the download.
record power-cut "/DOS /DBG 3" "$(one_hub_bench '{"powerLossAt": {"phase": "download", "nth": 3}}')"
