#pragma once
// Line breaking for the screens' longer notes. ImGui breaks after full stops, which cuts
// file names such as ".rp.orvac" in two, and Chinese has no spaces to break at; here
// lines break at spaces and beside Chinese characters, and nowhere else.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Splits `text` into lines no wider than `width` as `measure` sees them. Breaks fall at
// spaces (dropped there) and before or after a Chinese character, never before Chinese
// closing punctuation; a run of other characters is never split, and one wider than
// `width` gets a line of its own.
std::vector<std::string> wrapLines(std::string_view text, float width,
                                   const std::function<float(std::string_view)>& measure);
