#include "check/forms.h"

#include <cassert>

#include "check/report.h"
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

bool Parse_Condition(Question& question, unsigned keys, Expression_Error& error)
{
    question.temporal.kind = Form_Of(question.query).meaning.kind;
    question.temporal.keys = keys;
    return Parse_Expression(question.condition, question.temporal.condition, error);
}

bool Parse_Leads_To_Question(Question& question, unsigned keys, Expression_Error& error)
{
    question.temporal.kind = Temporal_Kind::LEADS_TO;
    question.temporal.keys = keys;
    return Parse_Leads_To(question.condition, question.temporal.from, question.temporal.condition,
                          error);
}

bool Parse_Ctl(Question& question, unsigned keys, Expression_Error& error)
{
    if (!Parse_Formula(question.condition, question.formula, error)) {
        return false;
    }
    Restrict_Keys(question.formula, keys);
    question.temporal.keys = keys;
    return true;
}

Verdict Judge_Property(const Question& question, const Exploration& exploration)
{
    const Form_Meaning& meaning = Form_Of(question.query).meaning;
    const bool always = meaning.universal;
    const std::string& script = exploration.evidence[question.property];
    Verdict verdict;
    verdict.good = script.empty() == always;
    verdict.verdict = verdict.good ? meaning.good : meaning.bad;
    if (!script.empty()) {
        verdict.bounded = verdict.fewest_shown = true;
        verdict.fewest = verdict.most = static_cast<long>(script.size());
        verdict.evidence.push_back(
            {always ? "counterexample" : "witness", script, "", false, 0, {}});
    }
    return verdict;
}

Verdict Judge_Over_Time(const Question& question, const Exploration& exploration)
{
    Temporal_Answer answer = Answer(exploration, question.temporal);
    const bool within = question.max_ticks < 0 || answer.most <= question.max_ticks;
    const Form_Meaning& meaning = Form_Of(question.query).meaning;
    const bool forever = !meaning.universal;
    Verdict verdict;
    verdict.good = answer.holds && within;
    verdict.verdict = verdict.good ? meaning.good : meaning.bad;
    verdict.bounded = answer.bounded;
    verdict.fewest_shown = answer.bounded && !forever; // forever has one number: the most
    verdict.most_shown = answer.bounded;
    verdict.at_shown = meaning.at_shown;
    verdict.fewest = answer.fewest;
    verdict.most = answer.most;
    verdict.evidence = std::move(answer.evidence);
    return verdict;
}

Verdict Judge_Ctl(const Question& question, const Exploration& exploration)
{
    Ctl_Answer answer = Judge_Formula(exploration, question.formula);
    Verdict verdict;
    verdict.good = answer.holds;
    verdict.verdict =
        answer.holds ? Form_Of(question.query).meaning.good : Form_Of(question.query).meaning.bad;
    for (Ctl_Evidence& evidence : answer.evidence) {
        verdict.evidence.push_back({evidence.role, std::move(evidence.script),
                                    std::move(evidence.loop), evidence.lasso, 0,
                                    std::move(evidence.nested)});
    }
    verdict.outermost = std::move(answer.outermost);
    return verdict;
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
