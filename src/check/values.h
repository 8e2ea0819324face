// --values 'FIELD where COND': every value that a part of the trace line
// takes on a line where a condition holds, over every key script, each
// with a shortest script to such a line. A row of the forms table.
#pragma once

#include <cstdio>

#include "check/question.h"

bool Parse_Values_Question(Question& question, unsigned keys, Expression_Error& error);
Verdict Judge_Values(const Question& question, const Exploration& exploration);
void Print_Values(std::FILE* out, int fd, const Question& question, const Verdict& verdict,
                  const Exploration& exploration, const char* indent);
void Print_Values_Json(std::FILE* out, const Question& question, const Verdict& verdict);
