// The about box (window 994): the build, the credits, the maker's web site,
// and a check for a newer release that can fetch, unpack and start a newer
// installer in place of this program.
#pragma once

#include <string>

// The update check. It lives for the whole run: closing and reopening the
// about box neither resets it nor fetches the list again once it has named
// the current version.
struct about_check_state {
    int version_str_found = 0;    // 1 once a FINAL line was read; until then the list is refetched
    std::string version_str_net;  // the last FINAL text, as shown
    int version_final = -1;       // the last FINAL_VERSION read
    int version_beta = -1;        // the last BETA_VERSION read
    int is_latest = 1;
    int is_beta = 0;              // the newer release found is a beta
    int ins_state = 0;            // ins_* below
    std::string installer_server;
    std::string installer_path;
    std::string installer_app_name;  // the unpacked program to start
    std::string err_msg;             // shown in state ins_message
};

enum {
    ins_nothing = 0,      // no reading yet
    ins_offered = 1,      // the update button is shown
    ins_downloading = 2,  // the installer archive is on its way
    ins_unpacked = 3,     // the installer starts in the next frame
    ins_message = 4,      // err_msg is shown
};

// The check's files, below the framework root (the current folder at run time).
inline constexpr const char kAboutListFile[] = "Resources/preferences/serverlist.txt";
inline constexpr const char kAboutInstallerZip[] = "Resources/preferences/installer.zip";

// Values taken from the list longer than these are cut (shown text) or
// refused (what goes into a request).
inline constexpr std::size_t kAboutVersionTextMax = 120;
inline constexpr std::size_t kAboutHostMax = 253;
inline constexpr std::size_t kAboutPathMax = 1024;

// Opens the about box and returns when it has been closed. A started
// installer ends the program from inside.
void MACIBM_about();

// The check that MACIBM_about keeps.
about_check_state& about_check();

// The parts of one frame of the about box, on any state.
// Polls the list's download while no FINAL line is known; reads it on arrival.
void about_fetch_step(about_check_state& s);
// Reads the list at `path` (below the framework root) and compares versions.
void about_read_list(about_check_state& s, const std::string& path);
// Everything the about box draws, the update check's state area included.
void about_draw(about_check_state& s);
// The update button, the installer's download, unpacking and start, or the message.
void about_state_area(about_check_state& s);
// Unpacks the downloaded archive into the framework root and checks the
// program it names before it may be started.
void about_unpack_installer(about_check_state& s);
// The fourth line of the box.
std::string about_version_line(const about_check_state& s);

// Why the unpacked first entry `name` may not be started (an errno value), or
// 0: it must be a relative name without "..", naming a regular file that lies
// inside the framework root.
int about_installer_refusal(const std::string& name);
