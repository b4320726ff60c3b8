#pragma once

// This process's peak resident memory (VmHWM) in megabytes, 0 when unknown.
double peakMemoryMb();

// main() of a benchmark that builds widgets: an offscreen application unless a
// platform is set, the compiled-in pictures, then the benchmarks asked for.
int runWidgetBenchmarks(int argc, char** argv);
