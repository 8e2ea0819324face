// The forms of question mwc-check answers: one table, from which the
// command line's options, the help, the judging and the printing are read.
// A new form is a row in forms.cpp, with its parser and judge (judges.h,
// or a file of its own as values.h) and its printer (answers.h).
#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

#include "check/exploration/explore.h"
#include "check/question.h"

// Parses the question's text; false, with the error said on `errors`.
bool Parse_Question(std::FILE* errors, Question& question, unsigned keys);

// An always or reach question, parsed, is decided during the exploration:
// its property goes on `properties`, and the question keeps its index.
void Add_Property(Question& question, std::vector<Property>& properties);

// Whether the parsed question reads before. fields: the exploration then
// keeps the lines before each tick.
bool Uses_Before(const Question& question);

// Parses a --keys SET, such as ".ae"; false, with the error said on `errors`.
bool Parse_Keys(std::FILE* errors, std::string_view set, unsigned& keys);
