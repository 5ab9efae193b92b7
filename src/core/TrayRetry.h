// When to offer the tray icon to the shell again after it did not take it: no shell yet (a
// start at sign-in before Explorer is up) or a shell too busy to answer.
#pragma once

namespace kiv {

// The wait in milliseconds after the given number of failed adds in a row (1 or more): one
// second, doubling, at most 30 seconds, so that a hung shell, whose every refusal can take
// seconds, does not keep holding the program up.
inline unsigned TrayAddRetryDelay(int failures)
{
    constexpr unsigned kFirst = 1000, kLongest = 30000;
    unsigned delay = kFirst;
    for (int i = 1; i < failures && delay < kLongest; ++i)
        delay *= 2;
    return delay < kLongest ? delay : kLongest;
}

}  // namespace kiv
