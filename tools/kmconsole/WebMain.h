// kmconsole web: the console behind an HTTP server, for a browser.
#pragma once

namespace kmconsole {

// argv[0] is "web"; the options follow. Returns the exit code.
int RunWebConsole(int argc, char** argv);

}  // namespace kmconsole
