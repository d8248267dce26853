#pragma once
// Problems found in catalogue and player files: logged with the file and line of the
// reader, and counted so the content check can insist the shipped data has none.
#include <string>

// A data problem the game survives: a debug-log warning.
void ReportDataProblem(const char* file, int line, const std::string& message);
// A failed internal check on data: the error-log line of a failed check, then the game
// goes on.
void ReportDataCheck(const char* file, int line, const std::string& message);
// How many problems and failed checks were reported since the last reset.
int DataProblemCount();
void ResetDataProblemCount();
// The most recent problem's text (tests show it when the count is not 0).
std::string LastDataProblem();

#define ZT_DATA_PROBLEM(message) ReportDataProblem(__FILE__, __LINE__, (message))
#define ZT_DATA_CHECK(message) ReportDataCheck(__FILE__, __LINE__, (message))
