#include "UTL/UTL_remote_cmd.h"

UTL_remote_cmd::UTL_remote_cmd(const char* name_, callback_t callback_)
{
    id = free_id++;
    name = name_;
    callback = callback_;
    next = cmd_list;
    cmd_list = this;
}

void UTL_remote_cmd::init_remote_cmds()
{
    for (UTL_remote_cmd* c = cmd_list; c; c = c->next) c->publish();
}

void UTL_remote_cmd::invoke(void*, int wanted)
{
    for (UTL_remote_cmd* c = cmd_list; c; c = c->next) {
        if (c->id == wanted) {
            c->callback();
            return;
        }
    }
}
