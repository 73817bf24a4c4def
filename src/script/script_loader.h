#pragma once
#include <cstddef>
#include <string>

class RunContext;
class IConditionJudge;

// Parses the install script (UTF-8 XML) and hands its settings and items to the run's stores;
// `judge` evaluates the condition items marked `judge` as they are loaded (none: they are not).
// False when there is no data or the XML cannot be parsed (the parse error is logged, nothing is
// loaded). A document without a `config` root loads nothing and still gives true.
bool LoadInstallScript(RunContext& run, IConditionJudge* judge, const void* data, size_t size);

// The byte count of a `diskrequire` text: a number with an optional last unit letter K, M, G, T,
// P or E (either case, powers of 1024); "200M" -> 209715200, "1.5G" -> 1610612736, "200MB" -> 200.
// Negative texts give 0 and sizes beyond 64 bits stop at the largest value.
unsigned long long ParseDiskRequire(const std::wstring& text);
