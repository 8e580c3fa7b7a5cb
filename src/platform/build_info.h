#pragma once
// Facts about the build, for the version line and the port table's title.

// The program's version, as project(VERSION) in CMakeLists.txt gives it.
const char* ProgramVersion();

// The version of the compiler that built the program as one decimal integer
// (GCC: major * 10000 + minor * 100 + patch level).
int CompilerVersionNumber();
