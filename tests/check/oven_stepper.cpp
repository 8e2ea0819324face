// One build of the oven, stepped on request, for the tests' plain pair
// search over two builds. Requests come in batches: their count, then each
// a configuration's number (0 at start-up, then in the order met) and an
// input's byte. Each answer is the number of the configuration the tick
// leaves (NONE after q, which ends a script) and the tick's trace line,
// each field as its table reads it; a batch's answers go out together.
// Binary, in this machine's byte order, on standard input and output; the
// tick's own frames go nowhere.
#include <cstdint>
#include <cstdio>
#include <map>
#include <unistd.h>
#include <vector>

#include "plain_configuration.h"
#include "replay/fields.h"

int main()
{
    const int answers_fd = dup(STDOUT_FILENO);
    std::FILE* const answers = fdopen(answers_fd, "wb");
    if (answers == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) {
        return 1;
    }
    constexpr std::uint32_t NONE = 0xFFFFFFFF;
    Replay_Draw_Panel(false);
    std::vector<Oven_Configuration> met{Save_Configuration()};
    std::map<decltype(Configuration_Parts(met[0])), std::uint32_t> number{
        {Configuration_Parts(met[0]), 0}};
    std::uint32_t batch = 0;
    while (std::fread(&batch, sizeof batch, 1, stdin) == 1) {
        for (std::uint32_t i = 0; i < batch; ++i) {
            std::uint32_t from = 0;
            signed char key = 0;
            if (std::fread(&from, sizeof from, 1, stdin) != 1 ||
                std::fread(&key, sizeof key, 1, stdin) != 1 || from >= met.size()) {
                return 1;
            }
            Restore_Configuration(met[from]);
            const Tick_Record record = Replay_Tick(key);
            std::uint32_t to = NONE;
            if (key != KEY_QUIT) {
                const auto [at, added] = number.emplace(Configuration_Parts(Save_Configuration()),
                                                        static_cast<std::uint32_t>(met.size()));
                if (added) {
                    met.push_back(Save_Configuration());
                }
                to = at->second;
            }
            double line[TRACE_FIELD_COUNT]{};
            for (std::size_t f = 0; f < TRACE_FIELD_COUNT; ++f) {
                line[f] = TRACE_FIELDS[f].read(1, record);
            }
            std::fwrite(&to, sizeof to, 1, answers);
            std::fwrite(line, sizeof line, 1, answers);
        }
        std::fflush(answers);
    }
    return std::fclose(answers) == 0 ? 0 : 1;
}
