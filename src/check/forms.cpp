#include "check/forms.h"

#include <cassert>

#include "check/judges.h"
#include "check/language/marked.h"
#include "check/outputs/answers.h"
#include "check/values.h"

namespace
{

// Each row: the form, its option's name and argument, its help, whether it
// is over time; its parser, judge and printers; and what its answer means,
// {good, bad, universal, property, kind, at_shown, nested_shown}.
// clang-format off
constexpr std::array<Query_Form, QUERY_COUNT> FORMS = {{
    {Query::ALWAYS, "always", "EXPR",
     "      --always EXPR   EXPR holds on every trace line of every script\n",
     false, Parse_Condition, Judge_Property, Print_Property, Print_Json,
     {"holds", "fails", true, true, Temporal_Kind::INEVITABLE, false, false}},
    {Query::REACH, "reach", "EXPR",
     "      --reach EXPR    some script makes a trace line where EXPR holds\n",
     false, Parse_Condition, Judge_Property, Print_Property, Print_Json,
     {"met", "not met", false, true, Temporal_Kind::INEVITABLE, false, false}},
    {Query::INEVITABLE, "inevitable", "EXPR",
     "      --inevitable EXPR  on every never-ending script some line has EXPR\n",
     true, Parse_Condition, Judge_Over_Time, Print_Over_Time, Print_Json,
     {"holds", "fails", true, false, Temporal_Kind::INEVITABLE, false, false}},
    {Query::FOREVER, "forever", "EXPR",
     "      --forever EXPR  some never-ending script has EXPR on every line\n",
     true, Parse_Condition, Judge_Over_Time, Print_Over_Time, Print_Json,
     {"met", "not met", false, false, Temporal_Kind::FOREVER, false, false}},
    {Query::LEADS_TO, "leads-to", "'P --> Q'",
     "      --leads-to 'P --> Q'  after every line with P, a line with Q comes, on\n"
     "                      that line or a later one, whatever is pressed\n",
     true, Parse_Leads_To_Question, Judge_Over_Time, Print_Over_Time, Print_Json,
     {"holds", "fails", true, false, Temporal_Kind::LEADS_TO, true, false}},
    {Query::CTL, "ctl", "FORMULA",
     "      --ctl FORMULA   FORMULA holds at tick 0, start-up: a condition; not, and,\n"
     "                      or, implies of formulas; AG AF AX EG EF EX of one; or\n"
     "                      A[ F U G ] and E[ F U G ] (see mwc-check(1))\n",
     true, Parse_Ctl, Judge_Ctl, Print_Ctl, Print_Json,
     {"holds", "fails", true, false, Temporal_Kind::INEVITABLE, false, true}},
    {Query::VALUES, "values", "'FIELD where EXPR'",
     "      --values 'FIELD where EXPR'  every value FIELD (a field, before.NAME,\n"
     "                      or a sum) takes on a line where EXPR holds, each with a\n"
     "                      shortest script; without where, on every line\n",
     false, Parse_Values_Question, Judge_Values, Print_Values, Print_Values_Json,
     {"listed", "listed", false, false, Temporal_Kind::INEVITABLE, false, false}},
}};
// clang-format on

constexpr bool Rows_In_Order()
{
    for (std::size_t i = 0; i < FORMS.size(); ++i) {
        if (static_cast<std::size_t>(FORMS[i].query) != i) {
            return false;
        }
    }
    return true;
}
static_assert(Rows_In_Order(), "a row per Query, in its order");

} // namespace

const std::array<Query_Form, QUERY_COUNT>& Query_Forms()
{
    return FORMS;
}

const Query_Form& Form_Of(Query query)
{
    const auto row = static_cast<std::size_t>(query);
    assert(row < FORMS.size());
    return FORMS[row];
}

bool Parse_Question(std::FILE* errors, Question& question, unsigned keys)
{
    const Query_Form& form = Form_Of(question.query);
    Expression_Error error;
    if (form.parse(question, keys, error)) {
        return true;
    }
    const std::string option = std::string("--") + form.name;
    Print_Expression_Error(errors, option.c_str(), question.condition, error);
    return false;
}

void Add_Property(Question& question, std::vector<Property>& properties)
{
    const Form_Meaning& meaning = Form_Of(question.query).meaning;
    if (meaning.property) {
        question.property = properties.size();
        properties.push_back({meaning.universal, question.temporal.condition});
    }
}

bool Uses_Before(const Question& question)
{
    const Temporal_Query& asked = question.temporal;
    return question.formula.uses_before || question.value.uses_before ||
           asked.condition.uses_before || asked.from.uses_before;
}

bool Parse_Keys(std::FILE* errors, std::string_view set, unsigned& keys)
{
    keys = 0;
    for (std::size_t i = 0; i < set.size(); ++i) {
        int input = 0;
        while (input < STEP_INPUTS && set[i] != Script_Byte(input)) {
            ++input;
        }
        if (input == STEP_INPUTS) {
            Print_Expression_Error(errors, "--keys", set,
                                   {i, 1, "keys are '.' for no key and a to f"});
            return false;
        }
        keys |= 1U << input;
    }
    if (keys == 0) {
        Print_Expression_Error(errors, "--keys", set, {0, 0, "no key at all: '.' is no key"});
        return false;
    }
    return true;
}
