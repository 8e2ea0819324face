// What the real controller draws for a key script, frame by frame, and an
// implementation's output cut into frames the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "replay/replay.h"

// The frames that mwc draws for `script` followed by q, one a tick, from
// the configuration `start` (start-up's): the real tick, run in this
// process, and the oven put back in `start` after.
std::vector<std::string> Expected_Frames(const Oven_Configuration& start, std::string_view script);

// `output` cut after each `separator` (the run of newlines that ends every
// frame); what is left after the last is `rest`, not a frame.
std::vector<std::string> Split_Frames(std::string_view output, std::string_view separator,
                                      std::string& rest);

// The run of newlines that ends a frame: the end of `frame` from its last
// panel line's newline on.
std::string_view Separator_Of(std::string_view frame);
