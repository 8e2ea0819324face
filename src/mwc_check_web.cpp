// mwc-check in the page: one question at a time, answered as mwc-check
// answers it, from the same libraries, built to WebAssembly and run by the
// page's worker, so that the page keeps ticking while it explores.
//
// The worker writes the question's text and keys into this module's
// buffers, then asks. The answer goes to ANSWER_FD in mwc-check's own words,
// and as its JSON line to JSON_FD; a bad question is said on standard error,
// marked as mwc-check marks it. Each question is explored anew, as a run of
// mwc-check is: always and reach are decided during the exploration.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check/exploration/explore.h"
#include "check/forms.h"
#include "check/outputs/answers.h"
#include "check/outputs/diagram.h"
#include "check/outputs/report.h"

namespace
{
constexpr int ANSWER_FD = 3;
constexpr int JSON_FD = 4;
constexpr std::size_t TEXT_SIZE = 1 << 16;
constexpr std::size_t KEYS_SIZE = 64;
char question_text[TEXT_SIZE]; // written by the worker, NUL-terminated
char keys_text[KEYS_SIZE];     // ... empty for every key
// The exit statuses of mwc-check.
constexpr int ANSWERED_GOOD = 0;
constexpr int ANSWERED_NOT = 1;
constexpr int BAD_QUESTION = 2;
constexpr int AT_LIMIT = 3;
} // namespace

extern "C" __attribute__((export_name("mwc_check_question"))) char* mwc_check_question()
{
    return question_text;
}

extern "C" __attribute__((export_name("mwc_check_keys"))) char* mwc_check_keys()
{
    return keys_text;
}

// The forms of question, as JSON on ANSWER_FD: [{"name":...,"argument":...}].
extern "C" __attribute__((export_name("mwc_check_forms"))) int mwc_check_forms()
{
    std::FILE* out = fdopen(ANSWER_FD, "w");
    if (out == nullptr) {
        return 0;
    }
    std::fputc('[', out);
    for (const Query_Form& form : Query_Forms()) {
        std::fprintf(out, "%s{\"name\":\"%s\",\"argument\":\"%s\"}",
                     &form == Query_Forms().data() ? "" : ",", form.name, form.argument);
    }
    std::fputs("]\n", out);
    return std::fclose(out) == 0 ? 1 : 0;
}

// Asks question `form` (its row in the forms' table) of the text and keys
// in the buffers; the exit status mwc-check would give.
extern "C" __attribute__((export_name("mwc_check_ask"))) int mwc_check_ask(int form)
{
    if (form < 0 || static_cast<std::size_t>(form) >= QUERY_COUNT) {
        return BAD_QUESTION;
    }
    question_text[TEXT_SIZE - 1] = '\0';
    keys_text[KEYS_SIZE - 1] = '\0';
    unsigned keys = ALL_STEP_INPUTS;
    if (keys_text[0] != '\0' && !Parse_Keys(stderr, keys_text, keys)) {
        return BAD_QUESTION;
    }
    std::vector<Question> questions{
        {Query_Forms()[static_cast<std::size_t>(form)].query, question_text}};
    if (!Parse_Question(stderr, questions[0], keys)) {
        return BAD_QUESTION;
    }
    std::vector<Property> properties;
    Add_Property(questions[0], properties);
    const bool before = Uses_Before(questions[0]);
    // The ticks print the back light's line; a large buffer keeps that
    // from becoming a call into the page for every tick.
    static char frames[1 << 16];
    std::setvbuf(stdout, frames, _IOFBF, sizeof frames);
    const Exploration exploration =
        Explore(properties, DEFAULT_MAX_CONFIGURATIONS,
                before ? Guard_Data::BEFORE_LINES : Guard_Data::LEFT_OUT);
    if (!exploration.complete) {
        return AT_LIMIT;
    }
    std::FILE* answer = fdopen(ANSWER_FD, "w");
    std::FILE* json = fdopen(JSON_FD, "w");
    if (answer == nullptr || json == nullptr) {
        return ANSWERED_NOT;
    }
    std::vector<std::string> scripts;
    const bool good = Print_Answers(answer, ANSWER_FD, questions, exploration, false, scripts);
    Print_Answers(json, JSON_FD, questions, exploration, true, scripts);
    std::fclose(answer);
    std::fclose(json);
    return good ? ANSWERED_GOOD : ANSWERED_NOT;
}
