// Named float statistics and switches, found again by their group.
#pragma once

#include <map>
#include <set>

enum UTL_stat_type {
    stat_general = 0,
    stat_perf = 4,  // performance switches
};

class UTL_stat {
public:
    UTL_stat(const char* name, UTL_stat_type type, float initial);
    UTL_stat(float* target, const char* name, UTL_stat_type type);
    ~UTL_stat() {}
    UTL_stat(const UTL_stat&) = delete;
    UTL_stat& operator=(const UTL_stat&) = delete;

    static void init_stats();
    static void reset_stats(UTL_stat_type type);
    void publish();

    float value;
    UTL_stat_type type;
    UTL_stat* next_waiting;
    float* target;
    const char* name;

    static std::map<UTL_stat_type, std::set<UTL_stat*>>& all_stats();
    static int stat_initialized;
    static UTL_stat* waiting;

private:
    void register_self();
};
