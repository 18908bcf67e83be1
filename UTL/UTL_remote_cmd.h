// Named callbacks that a controller outside the program could list and run.
#pragma once

class UTL_remote_cmd {
public:
    using callback_t = void (*)();

    UTL_remote_cmd(const char* name, callback_t callback);
    ~UTL_remote_cmd() {}
    UTL_remote_cmd(const UTL_remote_cmd&) = delete;
    UTL_remote_cmd& operator=(const UTL_remote_cmd&) = delete;

    void publish() {}
    static void init_remote_cmds();
    static void invoke(void* data, int id);

    UTL_remote_cmd* next;
    callback_t callback;
    const char* name;
    int id;

    // Constant-initialised, so entries may register from any module's static
    // initialisers.
    static inline UTL_remote_cmd* cmd_list = nullptr;
    static inline int free_id = 1;
};
