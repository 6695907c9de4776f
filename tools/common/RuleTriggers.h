#pragma once

// The fourteen texts on which the controller's line rules act, one a rule: what
// the benchmarks hand grep and ripgrep to count the lines the controller acts
// on, and what the tests of gamelog's rule share count in its history.
inline constexpr const char* kRuleTriggers[] = {
    "Server: SYNC: 2way:",        "Server: Singleton player reset.",
    "created, running...",        "chat: Changing realism to",
    "chat: Changing track",       "chat: Changing race_type",
    "chat: Changing ai_strength", "chat: Changing ai car count",
    "chat: Changing damage_on",   "chat: Changing is_reversed",
    "Server: User Connected:",    "Server: User",
    "Server: Disconnecting",      "latency for"};
