#pragma once
// quandrel-qr's arguments: what they ask for, checked and converted, or the usage error.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"
#include "result.h"

namespace qrcli {

using qrfiles::Failure;
using qrfiles::Result;

enum class Action { Run, Help, Version };

struct Command {
    Action What = Action::Run;
    Options Opts;
    std::string Help;  // the help text, for Action::Help
};

// Parses the arguments (without the program name). Fails with the usage error, on one line.
Result<Command> ParseArguments(const std::vector<std::string>& Args);

// RRGGBB or RRGGBBAA in hexadecimal digits of either case.
std::optional<qrpicture::TColour> ParseColour(std::string_view Text);

}  // namespace qrcli
