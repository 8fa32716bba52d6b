#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them: one line per figure, each against a
# baseline measured in the same run, then the summary line. Plots deployment time against the
# number of files into docs/deploy-time.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh gnuplot-nox
cmake --preset native-bench >/dev/null
cmake --build --preset native-bench -j2 --target setup_bench >/dev/null

tmp=${TMPDIR:-/tmp}
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
  "$tmp on $(df --output=source "$tmp" | tail -1) ($(df --output=fstype "$tmp" | tail -1));" \
  "deployment plot: docs/deploy-time.png"
data=build/native-bench/deploy-time.dat
build/native-bench/bench/setup_bench sample/dist "$data"

mkdir -p docs
gnuplot <<PLOT
set terminal pngcairo size 800,500
set output 'docs/deploy-time.png'
set title 'Placing tool files (first install, 1 other file per 5 tool files)'
set xlabel 'tool files'
set ylabel 'ms (median of 5)'
set key top left
set grid
plot '$data' using 1:2 with linespoints title 'DeployProgramFiles', \
     '$data' using 1:3 with linespoints title 'one mv process'
PLOT
# Start-up time under Wine, against a one-window program.
bash bench/startup.sh
