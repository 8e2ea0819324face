// The parsers and judges of the forms table's rows over conditions and
// formulas: always and reach, the questions over time, --ctl.
#pragma once

#include "check/exploration/explore.h"
#include "check/language/expression.h"
#include "check/question.h"

bool Parse_Condition(Question& question, unsigned keys, Expression_Error& error);
bool Parse_Leads_To_Question(Question& question, unsigned keys, Expression_Error& error);
bool Parse_Ctl(Question& question, unsigned keys, Expression_Error& error);
Verdict Judge_Property(const Question& question, const Exploration& exploration);
Verdict Judge_Over_Time(const Question& question, const Exploration& exploration);
Verdict Judge_Ctl(const Question& question, const Exploration& exploration);
