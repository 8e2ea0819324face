// A condition's fault as a message: what is wrong, the condition around
// the fault, and a mark under it.
#pragma once

#include <cstdio>
#include <string_view>

#include "check/language/expression.h"

// Writes `error` of `condition`, given to `option`, to `to`.
void Print_Expression_Error(std::FILE* to, const char* option, std::string_view condition,
                            const Expression_Error& error);
