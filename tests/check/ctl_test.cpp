// The labelling of formulas over time, its evidence, and the forms of
// question, against the slow and plain labeller of plain_ctl.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "check/engines/ctl.h"
#include "check/exploration/explore.h"
#include "check/forms.h"
#include "plain_ctl.h"
#include "without_frames.h"

namespace
{

using enum Expression::Kind;
// The exploration every formula here is judged on, with its lines before
// each tick.
const Exploration& Explored()
{
    static const Exploration exploration = Without_Frames(
        [] { return Explore({}, DEFAULT_MAX_CONFIGURATIONS, Guard_Data::BEFORE_LINES); });
    return exploration;
}

// A formula as --ctl parses it, each temporal operator on `keys`.
Expression Formula(const std::string& text, unsigned keys = ALL_STEP_INPUTS)
{
    Expression formula;
    Expression_Error error;
    EXPECT_TRUE(Parse_Formula(text, formula, error)) << text << ": " << error.message;
    for (Expression::Node& node : formula.nodes) {
        node.keys = Is_Temporal(node.kind) ? keys : 0;
    }
    return formula;
}

// The positions from `from` that `script` takes, each input one of `keys`.
std::vector<std::size_t> Walk(const Plain_Graph& g, std::size_t from, const std::string& script,
                              unsigned keys)
{
    std::vector<std::size_t> path{from};
    for (const char byte : script) {
        int input = 0;
        while (input < STEP_INPUTS && Script_Byte(input) != byte) {
            ++input;
        }
        EXPECT_TRUE(input < STEP_INPUTS && On(keys, input)) << "'" << byte << "' in " << script;
        if (input == STEP_INPUTS) {
            break;
        }
        path.push_back(g.Next(path.back(), input));
    }
    return path;
}

// The fewest ticks from `from` to a position that `target` gives, over
// positions that `through` gives; -1 for none. Breadth first over positions.
template <class Through, class Target>
long Fewest_Ticks(const Plain_Graph& g, std::size_t from, unsigned keys, Through through,
                  Target target)
{
    std::vector<long> ticks(g.edges + 1, -1);
    std::vector<std::size_t> queue{from};
    ticks[from] = 0;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const std::size_t p = queue[i];
        if (target(p)) {
            return ticks[p];
        }
        for (int input = 0; input < STEP_INPUTS && through(p); ++input) {
            const std::size_t q = g.Next(p, input);
            if (On(keys, input) && ticks[q] < 0) {
                ticks[q] = ticks[p] + 1;
                queue.push_back(q);
            }
        }
    }
    return -1;
}

// The temporal operators in node `n` that decide its value at `p`: where
// it stands because all its operands do, those of each; because one does,
// none if a condition does, else those of the first that does.
void Plain_Deciding(const Expression& f, const std::vector<Marks>& plain, int n, std::size_t p,
                    std::vector<int>& deciding)
{
    const Expression::Node& node = f.nodes[static_cast<std::size_t>(n)];
    if (!Temporal_Below(f, n)) {
        return;
    }
    if (Is_Temporal(node.kind) || node.kind == NOT) {
        if (Is_Temporal(node.kind)) {
            deciding.push_back(n);
        } else {
            Plain_Deciding(f, plain, node.left, p, deciding);
        }
        return;
    }
    const bool v = plain[static_cast<std::size_t>(n)][p] != 0;
    const bool a = plain[static_cast<std::size_t>(node.left)][p] != 0;
    const bool b = plain[static_cast<std::size_t>(node.right)][p] != 0;
    if ((node.kind == AND) == v) {
        Plain_Deciding(f, plain, node.left, p, deciding);
        Plain_Deciding(f, plain, node.right, p, deciding);
        return;
    }
    const bool left = node.kind == OR ? a : !a;
    const bool right = node.kind == AND ? !b : b;
    if ((left && !Temporal_Below(f, node.left)) || (right && !Temporal_Below(f, node.right))) {
        return;
    }
    Plain_Deciding(f, plain, left ? node.left : node.right, p, deciding);
}

// The evidence for node `n` from position `from`: a script as short as any,
// or a lasso, that shows it on the plain marks; then each operator that
// decides it where the evidence ends, with evidence from there.
void Check_One(const Plain_Graph& g, const Expression& f, const std::vector<Marks>& plain, int n,
               std::size_t from, const Ctl_Evidence& evidence, const std::string& name)
{
    const Expression::Node& node = f.nodes[static_cast<std::size_t>(n)];
    const bool exists = node.kind == EX || node.kind == EF || node.kind == EG || node.kind == EU;
    ASSERT_EQ(evidence.shown, plain[static_cast<std::size_t>(n)][from] == exists) << name;
    if (!evidence.shown) {
        return;
    }
    const unsigned keys = node.keys;
    const Marks& l = plain[static_cast<std::size_t>(node.left)];
    const Marks& r = plain[static_cast<std::size_t>(std::max(node.left, node.right))];
    const char want = exists ? 1 : 0; // the operand shown to hold, or to fail
    const std::vector<std::size_t> path = Walk(g, from, evidence.script + evidence.loop, keys);
    const auto all = [](std::size_t) { return true; };
    const auto is = [](const Marks& marks, char value) {
        return [&marks, value](std::size_t p) { return marks[p] == value; };
    };
    const auto neither = [&](std::size_t p) { return l[p] == 0 && r[p] == 0; };
    std::vector<int> parts{node.left};
    std::size_t end = path.back();
    if (evidence.lasso) {
        // Round and round: the operand (EG f, AF not f) or not g (A[ U ]) all along.
        const Marks& along = node.kind == AU ? r : l;
        const char value = node.kind == AU ? char{0} : want;
        EXPECT_TRUE(node.kind == EG || node.kind == AF || node.kind == AU) << name;
        EXPECT_FALSE(evidence.loop.empty()) << name;
        EXPECT_TRUE(std::all_of(path.begin(), path.end(), is(along, value))) << name;
        const auto after = [&g](std::size_t p) { return p == g.edges ? 0 : g.x.next[p]; };
        end = path[evidence.script.size()];
        EXPECT_EQ(after(end), after(path.back())) << name << ": a loop";
        parts = {node.kind == AU ? node.right : node.left};
    } else {
        long fewest = -1;
        switch (node.kind) {
        case EX:
        case AX:
            fewest = 1;
            EXPECT_EQ(l[end], want) << name;
            break;
        case EF:
        case AG:
            fewest = Fewest_Ticks(g, from, keys, all, is(l, want));
            EXPECT_EQ(l[end], want) << name;
            break;
        case EU:
            fewest = Fewest_Ticks(g, from, keys, is(l, 1), is(r, 1));
            EXPECT_EQ(r[end], 1) << name;
            parts = {node.right};
            break;
        case AU:
            fewest = Fewest_Ticks(g, from, keys, is(r, 0), neither);
            EXPECT_TRUE(neither(end)) << name;
            parts = {node.left, node.right};
            break;
        default:
            ADD_FAILURE() << name << ": a script where a lasso was due";
        }
        EXPECT_EQ(static_cast<long>(evidence.script.size()), fewest) << name << ": the shortest";
        if (node.kind == EU || node.kind == AU) {
            const auto before_last = [&](std::size_t p) {
                return node.kind == EU ? l[p] != 0 : r[p] == 0;
            };
            EXPECT_TRUE(std::all_of(path.begin(), path.end() - 1, before_last)) << name;
        }
    }
    std::vector<int> deciding;
    for (const int part : parts) {
        Plain_Deciding(f, plain, part, end, deciding);
    }
    ASSERT_EQ(evidence.nested.size(), deciding.size()) << name << ": the nested operators";
    for (std::size_t i = 0; i < deciding.size(); ++i) {
        const int inner = deciding[i];
        EXPECT_EQ(evidence.nested[i].operator_name.substr(0, 2),
                  Temporal_Name(f.nodes[static_cast<std::size_t>(inner)].kind))
            << name;
        Check_One(g, f, plain, inner, end, evidence.nested[i], name + ", nested");
    }
}

// The evidence that the formula's outermost operator under its nots gets:
// one exactly when it is an E that holds or an A that fails.
void Check_Evidence(const Plain_Graph& g, const Expression& f, const std::vector<Marks>& plain,
                    const std::string& name)
{
    int n = f.root;
    while (f.nodes[static_cast<std::size_t>(n)].kind == NOT) {
        n = f.nodes[static_cast<std::size_t>(n)].left;
    }
    const Expression::Node& node = f.nodes[static_cast<std::size_t>(n)];
    const Ctl_Answer answer = Judge_Formula(g.x, f);
    const bool exists = node.kind == EX || node.kind == EF || node.kind == EG || node.kind == EU;
    const bool shown =
        Is_Temporal(node.kind) && plain[static_cast<std::size_t>(n)][g.edges] == exists;
    ASSERT_EQ(answer.evidence.size(), shown ? 1U : 0U) << name;
    if (shown) {
        Check_One(g, f, plain, n, g.edges, answer.evidence[0], name);
    }
}

// The keys of a --keys set such as ".ae".
unsigned Keys(std::string_view set)
{
    unsigned keys = 0;
    for (int input = 0; input < STEP_INPUTS; ++input) {
        keys |= set.find(Script_Byte(input)) != std::string_view::npos ? 1U << input : 0U;
    }
    return keys;
}

} // namespace

TEST(Ctl, EveryNodeIsLabelledAsTheOperatorsDefinitionsIteratedSay)
{
    const Plain_Graph g{Explored()};
    const struct {
        const char* formula;
        const char* keys;
    } cases[] = {
        {"EF state = Finished", ".abcdef"},
        {"AG not buzzer", ".abcdef"},
        {"AG (start implies not door)", ".abcdef"},
        {"EX door", ".abcdef"},
        {"AX door", ".abcdef"},
        {"AX not door", "."},
        {"EG not start", ".abcdef"},
        {"AF buzzer", ".abcdef"},
        {"AF buzzer", ".e"},
        {"AG (start implies AF not start)", ".abcdef"},
        {"AG (start implies AF not start)", "ae"},
        {"A[ not start U door ]", ".abcdef"},
        {"A[ time < 600 U start ]", "ab"},
        {"E[ not door U state = Temp_Cooking ]", ".abcdef"},
        {"E[ not door U state = Temp_Cooking ]", ".ace"},
        {"not AG not (before.state = Wait_Input and state = Starting)", ".abcdef"},
        {"AG (before.start = start or before.state != state)", ".abcdef"},
        // Start-up is its own line before: these hold, or fail, at tick 0.
        {"before.time_mode and before.state = Wait_Input", ".abcdef"},
        {"EX (before.cur_temp = 20 and before.time = 0)", "."},
        {"AG EF state = Wait_Input", ".abcdef"},
        {"EF AG state = Wait_Input", "."},
        {"AG (buzzer implies AX (state = Wait_Input and not start))", ".abcdef"},
        {"EG (time > 0 implies EX time = 0)", ".a"},
        {"A[ EF door U AX start ]", ".abcdef"},
        {"not not AG not buzzer", ".abcdef"},
        {"AF AG not start", "f"},
        {"EF (door and EX EX EX door)", ".f"},
        // Evidence nested under a lasso, and under a script that ends where
        // an until's both operands fail.
        {"EF (buzzer and EG not door)", ".abcdef"},
        {"AF (door or AG not start)", ".ae"},
        {"not A[ not door U AG start ]", ".abcdef"},
        {"A[ AX not door U AG start ]", ".abcdef"},
        {"EF (buzzer or EX door)", ".abcdef"},
    };
    std::size_t held = 0;
    for (const auto& row : cases) {
        const std::string name = std::string(row.formula) + " on " + row.keys;
        const Expression formula = Formula(row.formula, Keys(row.keys));
        std::vector<int> nodes(formula.nodes.size());
        for (std::size_t n = 0; n < nodes.size(); ++n) {
            nodes[n] = static_cast<int>(n);
        }
        const std::vector<Labels> fast = Label(g.x, formula, nodes);
        const std::vector<Marks> plain = Plain_Label(g, formula);
        for (std::size_t n = 0; n < plain.size(); ++n) {
            const auto [fast_at, plain_at] =
                std::mismatch(fast[n].begin(), fast[n].end(), plain[n].begin());
            EXPECT_TRUE(plain_at == plain[n].end())
                << name << ", node " << n << ": position " << (plain_at - plain[n].begin())
                << " of " << plain[n].size() << " (tick 0 is the last)";
        }
        const bool holds = plain[static_cast<std::size_t>(formula.root)][g.edges] != 0;
        EXPECT_EQ(Judge_Formula(g.x, formula).holds, holds) << name;
        Check_Evidence(g, formula, plain, name);
        held += holds ? 1 : 0;
    }
    EXPECT_GT(held, 3U) << "some hold";
    EXPECT_LT(held, std::size(cases) - 3) << "and some fail";
}

TEST(Ctl, EachFormOfQuestionIsThePlainLabellersFormula)
{
    const std::vector<std::string> conditions = {
        "buzzer",
        "not buzzer",
        "state = Wait_Input",
        "not start",
        "time < 600",
        "door",
        "before.state = Wait_Input and state = Starting",
        "before.start = start",
        "before.time_mode",
        // Its line is met first from Starting, and a tick later from itself.
        "before.state = state and state = Time_Cooking",
    };
    // Over time, on never-ending scripts: the formula at tick 0, every
    // operator on the keys but a leads-to's AX AG, which come before P.
    const struct {
        Query query;
        const char* formula; // with P for the condition
    } over_time[] = {
        {Query::INEVITABLE, "AX AF (P)"},
        {Query::FOREVER, "EX EG (P)"},
        {Query::LEADS_TO, "AX AG (start implies AF (P))"},
    };
    std::vector<Question> questions;
    std::vector<Property> properties;
    for (const std::string& condition : conditions) {
        for (const Query query : {Query::ALWAYS, Query::REACH}) {
            questions.push_back({query, condition});
            ASSERT_TRUE(Parse_Question(stderr, questions.back(), ALL_STEP_INPUTS));
            Add_Property(questions.back(), properties);
        }
    }
    const Exploration exploration = Without_Frames(
        [&] { return Explore(properties, DEFAULT_MAX_CONFIGURATIONS, Guard_Data::BEFORE_LINES); });
    const Plain_Graph g{exploration};
    // Always and reach see every line, q's too, but not tick 0's; the
    // evidence is a shortest script to one that breaks or meets it.
    std::vector<long> depth(exploration.parent.size(), -1);
    std::vector<std::uint32_t> queue{0};
    depth[0] = 0;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        for (int input = 0; input < STEP_INPUTS; ++input) {
            const std::uint32_t to = exploration.next[Edge(queue[i], input)];
            if (depth[to] < 0) {
                depth[to] = depth[queue[i]] + 1;
                queue.push_back(to);
            }
        }
    }
    std::size_t good = 0;
    for (const Question& question : questions) {
        const bool always = question.query == Query::ALWAYS;
        const Expression& condition = properties[question.property].expression;
        long fewest = -1;
        for (const std::uint32_t c : queue) {
            for (int input = 0; input < INPUT_COUNT && fewest < 0; ++input) {
                const std::size_t line = input < STEP_INPUTS ? exploration.line_of[Edge(c, input)]
                                                             : exploration.quit_line_of[c];
                const bool holds = Evaluate(condition, exploration.lines[line],
                                            exploration.before_lines[exploration.before_of[c]]);
                fewest = holds != always ? depth[c] + 1 : -1;
            }
            if (fewest >= 0) {
                break;
            }
        }
        const Verdict verdict = Form_Of(question.query).judge(question, exploration);
        EXPECT_EQ(verdict.good, always == (fewest < 0)) << question.condition;
        const long shown =
            verdict.evidence.empty() ? -1 : static_cast<long>(verdict.evidence[0].script.size());
        EXPECT_EQ(shown, fewest) << question.condition;
        good += verdict.good ? 1 : 0;
    }
    for (const char* keys : {".abcdef", ".e", "af"}) {
        for (const auto& form : over_time) {
            for (const std::string& condition : conditions) {
                const bool leads_to = form.query == Query::LEADS_TO;
                Question question{form.query, leads_to ? "start --> " + condition : condition};
                ASSERT_TRUE(Parse_Question(stderr, question, Keys(keys)));
                std::string text = form.formula;
                text.replace(text.find('P'), 1, condition);
                Expression formula = Formula(text, Keys(keys));
                for (Expression::Node& node : formula.nodes) {
                    node.keys = leads_to && node.kind != AF && Is_Temporal(node.kind)
                                    ? ALL_STEP_INPUTS
                                    : node.keys;
                }
                const bool holds =
                    Plain_Label(g, formula)[static_cast<std::size_t>(formula.root)][g.edges] != 0;
                const Verdict verdict = Form_Of(question.query).judge(question, exploration);
                EXPECT_EQ(verdict.good, holds) << keys << ": " << text;
                good += verdict.good ? 1 : 0;
            }
        }
    }
    EXPECT_GT(good, 10U) << "some hold";
    const std::size_t asked = questions.size() + std::size(over_time) * 3U * conditions.size();
    EXPECT_LT(good, asked - 10) << "and some fail";
}

// Every value and its shortest script against a plain search over the
// positions, depth by depth, with q's lines one tick past each position
// when every key may be pressed; each script walked to a line that has the
// value and meets the condition.
TEST(Values, EveryValueComesWithAShortestScriptToALineThatShowsIt)
{
    const Plain_Graph g{Explored()};
    const struct {
        const char* question;
        const char* keys;
    } cases[] = {
        {"before.state where door and not before.door", ".abcdef"},
        {"key", ".abcdef"},
        {"time - before.time where state = Time_Cooking", ".ade"},
        {"cur_temp where buzzer", ".abcdef"},
        {"set_temp where state = Temp_Cooking", ".abce"},
        {"state = before.state where key = 'f'", "f"},
    };
    for (const auto& row : cases) {
        Question question{Query::VALUES, row.question};
        ASSERT_TRUE(Parse_Question(stderr, question, Keys(row.keys))) << row.question;
        const unsigned keys = Keys(row.keys);
        const bool quits = keys == ALL_STEP_INPUTS;
        // The fewest ticks to a line with each value.
        std::map<double, long> plain;
        const auto see = [&](const Trace_Line& line, const Trace_Line& before, long ticks) {
            if (Evaluate(question.temporal.condition, line, before)) {
                plain.emplace(Evaluate_Value(question.value, line, before), ticks);
            }
        };
        std::vector<long> depth(g.edges + 1, -1);
        std::vector<std::size_t> queue{g.edges};
        depth[g.edges] = 0;
        for (std::size_t i = 0; i < queue.size(); ++i) {
            const std::size_t p = queue[i];
            const std::size_t after = p == g.edges ? 0 : g.x.next[p];
            if (p != g.edges) {
                see(g.Line(p), g.Before(p), depth[p]);
            }
            if (quits) {
                see(g.x.lines[g.x.quit_line_of[after]], g.x.before_lines[g.x.before_of[after]],
                    depth[p] + 1);
            }
            for (int input = 0; input < STEP_INPUTS; ++input) {
                const std::size_t q = g.Next(p, input);
                if (On(keys, input) && depth[q] < 0) {
                    depth[q] = depth[p] + 1;
                    queue.push_back(q);
                }
            }
        }
        const Verdict verdict = Form_Of(Query::VALUES).judge(question, g.x);
        ASSERT_EQ(verdict.evidence.size(), plain.size()) << row.question;
        std::map<double, long> shown;
        for (const Temporal_Evidence& evidence : verdict.evidence) {
            std::string script = evidence.script;
            const bool quit = !script.empty() && script.back() == KEY_QUIT;
            script.resize(script.size() - (quit ? 1 : 0));
            const std::size_t end = Walk(g, g.edges, script, keys).back();
            const std::size_t after = end == g.edges ? 0 : g.x.next[end];
            const Trace_Line& line = quit ? g.x.lines[g.x.quit_line_of[after]] : g.Line(end);
            const Trace_Line& before =
                quit ? g.x.before_lines[g.x.before_of[after]] : g.Before(end);
            EXPECT_TRUE(Evaluate(question.temporal.condition, line, before)) << evidence.script;
            shown.emplace(Evaluate_Value(question.value, line, before),
                          static_cast<long>(evidence.script.size()));
        }
        EXPECT_EQ(shown, plain) << row.question << " on " << row.keys;
    }
}
