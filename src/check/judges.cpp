#include "check/judges.h"

#include "check/engines/ctl.h"
#include "check/engines/temporal.h"

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
