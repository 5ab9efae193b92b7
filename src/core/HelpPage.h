// The help page beside the program, and where in it the help for one control is.
#pragma once

#include <string>

namespace kiv {

inline constexpr char kHelpFileName[] = "Kiv.html";

// The anchor of a help-context number's section in the help page: "help-24".
std::string HelpAnchor(unsigned helpContext);

// The file URL of the help page in appDir (UTF-8 path text ending in a delimiter), at the
// section of helpContext, or at its top for 0. ASCII characters that would end the path or
// start a query or a section are percent-escaped; characters beyond ASCII stay as they are, so
// a folder such as "Café" or one in Japanese reaches the viewer intact.
std::string HelpPageUrl(const std::string& appDir, unsigned helpContext);

}  // namespace kiv
