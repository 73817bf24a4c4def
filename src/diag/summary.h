#pragma once
// Records the end time and writes the exit summary to the script log file.
void WriteSummary();
