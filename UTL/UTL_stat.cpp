#include "UTL/UTL_stat.h"

// Plain zero-initialised data: statistics of modules initialised before this
// one can wait on the list safely.
int UTL_stat::stat_initialized = 0;
UTL_stat* UTL_stat::waiting = nullptr;

std::map<UTL_stat_type, std::set<UTL_stat*>>& UTL_stat::all_stats()
{
    static std::map<UTL_stat_type, std::set<UTL_stat*>> registry;
    return registry;
}

UTL_stat::UTL_stat(const char* name_, UTL_stat_type type_, float initial)
    : value(initial), type(type_), next_waiting(nullptr), target(&value), name(name_)
{
    register_self();
}

UTL_stat::UTL_stat(float* target_, const char* name_, UTL_stat_type type_)
    : value(0), type(type_), next_waiting(nullptr), target(target_), name(name_)
{
    register_self();
}

void UTL_stat::register_self()
{
    if (!stat_initialized) {
        next_waiting = waiting;
        waiting = this;
        return;
    }
    publish();
}

void UTL_stat::publish() { all_stats()[type].insert(this); }

void UTL_stat::init_stats()
{
    for (UTL_stat* s = waiting; s; s = s->next_waiting) s->publish();
    stat_initialized = 1;
}

void UTL_stat::reset_stats(UTL_stat_type group)
{
    for (UTL_stat* s : all_stats()[group]) s->value = 0;
}
