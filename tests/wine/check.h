// A small check harness in the manner of Wine's own tests: ok(condition,
// format, ...) counts a passed or failed check and prints the message (with
// the actual values) when it fails. The program ends with "N passed, N failed, N skipped".
#pragma once

#include <cstdio>

void CheckResult(const char* file, int line, bool passed, const char* format, ...)
    __attribute__((format(gnu_printf, 4, 5)));
// Reports a check that cannot run here and why (counted as skipped).
void SkipCheck(const char* file, int line, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));
int PassedChecks();
int SkippedChecks();
int FailedChecks();
// Prints a group heading; failures name the group they happened in.
void BeginGroup(const char* name);

#define ok(condition, ...) CheckResult(__FILE__, __LINE__, (condition), __VA_ARGS__)
#define skip(...) SkipCheck(__FILE__, __LINE__, __VA_ARGS__)
