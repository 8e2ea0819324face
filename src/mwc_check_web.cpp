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
constexpr char PROGRAM[] = "mwc-check";

// The ticks print the back light's line; a large buffer keeps that from
// becoming a call into the page for every tick. Set once, before the first
// output, as the C library asks.
void Buffer_Stdout()
{
    static bool set = false;
    if (!set) {
        static char frames[1 << 16];
        std::setvbuf(stdout, frames, _IOFBF, sizeof frames);
        set = true;
    }
}
} // namespace

extern "C" __attribute__((export_name("mwc_check_question"))) char* mwc_check_question()
{
    return question_text;
}

extern "C" __attribute__((export_name("mwc_check_keys"))) char* mwc_check_keys()
{
    return keys_text;
}

// What the worker needs to know of this module, as a JSON line on standard
// output: the forms of question, with what each means, the buffers' sizes,
// the descriptors the answers come on, the exploration's limit, and the
// exit status of a bad question. 1 when written, else 0.
extern "C" __attribute__((export_name("mwc_check_facts"))) int mwc_check_facts()
{
    Buffer_Stdout();
    std::printf("{\"forms\":[");
    for (const Query_Form& form : Query_Forms()) {
        std::printf("%s{\"name\":\"%s\",\"argument\":\"%s\",\"over_time\":%s,"
                    "\"universal\":%s,\"property\":%s}",
                    &form == Query_Forms().data() ? "" : ",", form.name, form.argument,
                    form.over_time ? "true" : "false", form.meaning.universal ? "true" : "false",
                    form.meaning.property ? "true" : "false");
    }
    std::printf("],\"question_size\":%zu,\"keys_size\":%zu,\"answer_fd\":%d,\"json_fd\":%d,"
                "\"max_configurations\":%zu,\"bad_question\":%d}\n",
                TEXT_SIZE, KEYS_SIZE, ANSWER_FD, JSON_FD, DEFAULT_MAX_CONFIGURATIONS, BAD_QUESTION);
    return std::fflush(stdout) == 0 ? 1 : 0;
}

// Asks question `form` (its row in the forms' table) of the text and keys
// in the buffers, exploring at most `max_configurations`; the exit status
// mwc-check would give, and its words.
extern "C" __attribute__((export_name("mwc_check_ask"))) int mwc_check_ask(int form,
                                                                           int max_configurations)
{
    if (form < 0 || static_cast<std::size_t>(form) >= QUERY_COUNT || max_configurations <= 0) {
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
    Buffer_Stdout();
    const Exploration exploration =
        Explore(properties, static_cast<std::size_t>(max_configurations),
                before ? Guard_Data::BEFORE_LINES : Guard_Data::LEFT_OUT);
    if (!exploration.complete) {
        Print_Stopped_At_Limit(stderr, PROGRAM, exploration,
                               static_cast<std::size_t>(max_configurations));
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
