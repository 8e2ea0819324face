#include "check/language/marked.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "replay/shown.h"

void Print_Expression_Error(std::FILE* to, const char* option, std::string_view condition,
                            const Expression_Error& error)
{
    // A long condition is shown around its fault, with "..." where it is cut.
    constexpr std::size_t WINDOW = 72;      // of the condition, under which the mark goes
    constexpr std::size_t BEFORE_MARK = 30; // of them before the fault
    constexpr std::size_t QUOTED = 40;      // of the condition on the message's line
    constexpr std::string_view CUT = "...";
    assert(error.offset <= condition.size() && "the mark is within the condition or at its end");
    const std::size_t from = condition.size() <= WINDOW || error.offset < BEFORE_MARK
                                 ? 0
                                 : std::min(error.offset - BEFORE_MARK, condition.size() - WINDOW);
    const std::string_view window = condition.substr(from, WINDOW);
    const std::string_view left = from > 0 ? CUT : "";
    const std::string_view right = from + window.size() < condition.size() ? CUT : "";
    const std::string quoted = Shown(condition.substr(0, QUOTED));
    std::fprintf(to, "mwc-check: %s '%s%s': %s\n", option, quoted.c_str(),
                 QUOTED < condition.size() ? "..." : "", error.message.c_str());
    // The mark goes under the columns that the marked bytes take once shown.
    const std::size_t mark = error.offset - from;
    const std::size_t marked = std::min(std::max<std::size_t>(error.length, 1),
                                        window.size() > mark ? window.size() - mark : 0);
    const std::size_t column = Shown_Columns(Shown(window.substr(0, mark)));
    const std::size_t width = Shown_Columns(Shown(window.substr(mark, marked)));
    const std::size_t tail = width > 1 ? width - 1 : 0;
    std::fprintf(to, "  %.*s%s%.*s\n  %*s^%s\n", static_cast<int>(left.size()), left.data(),
                 Shown(window).c_str(), static_cast<int>(right.size()), right.data(),
                 static_cast<int>(left.size() + column), "", std::string(tail, '~').c_str());
}
