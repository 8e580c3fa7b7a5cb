#pragma once
// Facts about the build, for the version line.

// The version of the compiler that built the program as one decimal integer
// (GCC: major * 10000 + minor * 100 + patch level).
int CompilerVersionNumber();
