#pragma once

// One driver invocation: lists one schema or compares two, or works through a
// server list file by nested invocations. `argv` is changed while a list file
// is worked through and restored before the call returns. The result is the
// exit status: 0, or 1 when a comparison in the process found differences or
// a schema could not be read or standard output could not be written.
int main2(int argc, char** argv);
