// Each question's answer as mwc-check prints it, as text or as JSON: the
// printers of the forms table's rows.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "check/exploration/explore.h"
#include "check/question.h"

// The question as asked, and the keys its scripts press when not all: for
// the questions over time, and when `keys_apply`.
void Print_Heading(std::FILE* out, const Question& question, const char* indent,
                   bool keys_apply = false);

// The rows' printers: always and reach, the other questions over time but
// --ctl, --ctl, and any row's JSON.
void Print_Property(std::FILE* out, int fd, const Question& question, const Verdict& verdict,
                    const Exploration& exploration, const char* indent);
void Print_Over_Time(std::FILE* out, int fd, const Question& question, const Verdict& verdict,
                     const Exploration& exploration, const char* indent);
void Print_Ctl(std::FILE* out, int fd, const Question& question, const Verdict& verdict,
               const Exploration& exploration, const char* indent);
void Print_Json(std::FILE* out, const Question& question, const Verdict& verdict);

// The answer to each question, with its evidence scripts; for always and
// reach, the trace line of the script's last tick as mwc-replay --trace
// prints it. Or as JSON, one object per line. `out` writes to `fd`. Returns
// whether every question holds or is met. `scripts` gets every evidence
// shown, in order, as a script file has it (a lasso goes round its loop
// three times).
bool Print_Answers(std::FILE* out, int fd, const std::vector<Question>& questions,
                   const Exploration& exploration, bool json, std::vector<std::string>& scripts);
