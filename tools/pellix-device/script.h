// Scenarios for `pellix-device run SCRIPT`: one step a line, run in order on one booted device
// with its Inbox, as a person and the phone network would act. See README.md for the language.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pellix::tool {

// Splits a script line into words: blanks separate them, "double quotes" (with \" and \\)
// and 'single quotes' keep blanks inside one word. A line whose first word starts with "#" is
// a comment and gives no words. Returns false (and the reason) for an unfinished quote.
bool SplitWords(const std::string& line, std::vector<std::string>* words, std::string* error);

// Runs the script file on the booted device. Prints what the steps report; a failing step
// prints "SCRIPT:LINE: ..." with what was found instead on standard error. Returns the exit
// status: 0, or 1 at the first failed step.
int RunScript(const std::filesystem::path& script, const std::filesystem::path& image_dir);

}  // namespace pellix::tool
