#include "GenC/hl_about.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "Files/io_utils.h"
#include "GenH/hl_math.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_layout.h"
#include "OOPS_cpp/xmap.h"
#include "OOPS_cpp/xtim.h"

namespace {

// The credits. Every line names the maker or one of its teams.
constexpr const char kCreator[] = "Corvath Research";
constexpr const char kArtTeam[] = "Corvath Research Art Team";
constexpr const char kEngineTeam[] = "Corvath Research Engine Team";
constexpr const char kLinuxTeam[] = "Corvath Research Linux Team";
constexpr const char kNavDataTeam[] = "Corvath Research Navigation Data Team";
constexpr const char kInterfaceTeam[] = "Corvath Research Interface Team";
constexpr const char kSceneryTeam[] = "Corvath Research Scenery Team";
const std::string kElevationDataPage = std::string(kMakerWebSite) + "elevation/";

constexpr const char kListPath[] = "/serverlist.txt";
constexpr int kListVersion = 820;

constexpr int kTextCol = 47;
constexpr int kHeadingCol = 49;
constexpr int kStateCol = 58;

// ---------------------------------------------------------------------------
// The server list, as far as the update check reads it.

// The list's cursor, with the check's own reading of numbers.
struct list_reader : text_cursor {
    using text_cursor::text_cursor;

    // Every character up to the next blank or line end is taken as a digit,
    // whatever it is; the value stops at the int range instead of overflowing.
    int integer()
    {
        skip_blanks();
        bool negative = false;
        if (p < end && *p == '-') {
            negative = true;
            ++p;
        }
        if (p < end && *p == '+') ++p;
        int64_t value = 0;
        for (; p < end && !is_blank(*p) && !is_line_end(*p); ++p) {
            value = value * 10 + (static_cast<unsigned char>(*p) - '0');
            value = std::clamp<int64_t>(value, -INT_MAX, INT_MAX);
        }
        return static_cast<int>(negative ? -value : value);
    }
};

struct installer_pair {
    std::string host, path;
};

bool host_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '-';
}

// The host and path of an installer archive go into a request: a host name
// of letters, digits, dots and dashes, and a path from "/" without control
// characters, both within their bounds. Anything else counts as not listed.
installer_pair checked_pair(const std::string& host, const std::string& path)
{
    const bool host_ok = !host.empty() && host.size() <= kAboutHostMax &&
                         std::all_of(host.begin(), host.end(), host_char);
    const bool path_ok = !path.empty() && path[0] == '/' && path.size() <= kAboutPathMax &&
                         std::none_of(path.begin(), path.end(), [](char c) {
                             return static_cast<unsigned char>(c) < 32 || c == 127;
                         });
    if (host_ok && path_ok) return {host, path};
    if (!host.empty() || !path.empty())
        xer << "Server list installer entry refused: " << host.substr(0, kAboutHostMax) << " "
            << path.substr(0, kAboutPathMax) << "\n";
    return {};
}

void compare_versions(about_check_state& s, const installer_pair& beta, const installer_pair& final)
{
    s.is_latest = 1;
    s.is_beta = 0;
    s.ins_state = ins_message;
    if (s.version_final == -1) {
        s.err_msg = "Can't connect to the net to find latest version.";
        return;
    }
    if (s.version_final == kBuildNumber) {
        s.err_msg = "Your version of Brennix is up to date.";
        return;
    }
    if (s.version_final > kBuildNumber) {
        s.is_latest = 0;
        s.is_beta = 0;
    } else if (s.version_beta > kBuildNumber) {
        s.is_latest = 0;
        s.is_beta = 1;
    } else {
        s.err_msg = "You have the latest Brennix beta.";
        return;
    }
    const installer_pair& chosen = s.is_beta ? beta : final;
    s.installer_server = chosen.host;
    s.installer_path = chosen.path;
    if (!s.installer_server.empty() && !s.installer_path.empty()) {
        s.ins_state = ins_offered;
        return;
    }
    s.err_msg = std::string(s.is_beta ? "There is a newer beta of Brennix available! Visit "
                                      : "There is a new version of Brennix available! Visit ") +
                kMakerWebHost + " to download the update.";
}

std::string coded_text(const char* lead, int code)
{
    return lead + error_str(code) + " (" + std::to_string(code) + ")";
}

}  // namespace

// ---------------------------------------------------------------------------

about_check_state& about_check()
{
    static about_check_state state;
    return state;
}

void about_read_list(about_check_state& s, const std::string& path)
{
    installer_pair beta, final;
    {
        xmap_class map(path);
        static const int versions[] = {kListVersion, 0};
        if (map.begin != nullptr &&
            map.check_file(xmap_type_text, versions, "SERVERS", nullptr) != 0) {
            list_reader in{map.cursor, map.end};
            while (in.p < in.end) {
                in.skip_blanks();
                if (in.keyword("BETA")) {
                    in.rest_of_line();
                } else if (in.keyword("FINAL")) {
                    s.version_str_net = in.rest_of_line().substr(0, kAboutVersionTextMax);
                    s.version_str_found = 1;
                } else if (in.keyword("BETA_INSTALLER_LIN")) {
                    beta.host = in.word();
                    beta.path = in.rest_of_line();
                } else if (in.keyword("FINAL_INSTALLER_LIN")) {
                    final.host = in.word();
                    final.path = in.rest_of_line();
                } else if (in.keyword("BETA_VERSION")) {
                    s.version_beta = in.integer();
                    in.skip_line();
                } else if (in.keyword("FINAL_VERSION")) {
                    s.version_final = in.integer();
                    in.skip_line();
                } else {
                    in.skip_line();
                }
                in.skip_blanks_and_line_ends();
            }
        }
    }
    compare_versions(s, checked_pair(beta.host, beta.path), checked_pair(final.host, final.path));
}

void about_fetch_step(about_check_state& s)
{
    if (s.version_str_found) return;
    if (http.net_check(0, kMakerWebHost, kListPath, kAboutListFile) == 1)
        about_read_list(s, kAboutListFile);
}

std::string about_version_line(const about_check_state& s)
{
    if (s.version_str_found)
        return std::string("The current version of Brennix at ") + kMakerWebHost + " is now " +
               s.version_str_net + ".";
    return std::string("I could not connect to the net to find the current version of Brennix at ") +
           kMakerWebHost + "!";
}

int about_installer_refusal(const std::string& name)
{
    const char* why = nullptr;
    int code = 0;
    if (name.empty()) {
        why = "the archive names no program";
        code = ENOENT;
    } else if (name[0] == '/' || name.find('\0') != std::string::npos) {
        why = "its name is not relative";
        code = EINVAL;
    } else {
        for (std::size_t at = 0; at <= name.size();) {
            std::size_t slash = name.find('/', at);
            if (slash == std::string::npos) slash = name.size();
            if (name.compare(at, slash - at, "..") == 0) {
                why = "its name climbs out with ..";
                code = EINVAL;
                break;
            }
            at = slash + 1;
        }
    }
    if (code == 0) {
        const std::string root = app_path.empty() ? "." : app_path;
        const std::string program = app_path + name;
        struct stat st;
        char* real_root = realpath(root.c_str(), nullptr);
        char* real_program = realpath(program.c_str(), nullptr);
        if (lstat(program.c_str(), &st) != 0 || real_root == nullptr || real_program == nullptr) {
            why = "it is missing";
            code = ENOENT;
        } else if (S_ISDIR(st.st_mode)) {
            why = "it is a folder";
            code = EISDIR;
        } else if (!S_ISREG(st.st_mode)) {
            why = "it is not a regular file";
            code = EINVAL;
        } else {
            const std::string r = real_root, p = real_program;
            const std::string prefix = r == "/" ? r : r + "/";
            if (p.compare(0, prefix.size(), prefix) != 0) {
                why = "it lies outside the folder";
                code = EINVAL;
            }
        }
        free(real_root);
        free(real_program);
    }
    if (code != 0) xer << "Installer not started, " << why << ": " << name.c_str() << "\n";
    return code;
}

void about_unpack_installer(about_check_state& s)
{
    s.installer_app_name.clear();
    int code = zip_to_file(kAboutInstallerZip, "", &s.installer_app_name, 0);
    if (code == 0) {
        if (!s.installer_app_name.empty() && s.installer_app_name.back() == '/')
            s.installer_app_name.pop_back();
        code = about_installer_refusal(s.installer_app_name);
    }
    if (code != 0) {
        s.err_msg = coded_text("There was an error unzipping the installer: ", code);
        s.ins_state = ins_message;
        return;
    }
    s.ins_state = ins_unpacked;
}

void about_state_area(about_check_state& s)
{
    const float wrap = mnw.wind_w - 40;
    switch (s.ins_state) {
    case ins_offered:
        if (BTN_action(492, 17, 0, 0, 1, s.is_beta ? " Get New Beta! " : "Update Brennix!", "-"))
            s.ins_state = ins_downloading;
        break;
    case ins_downloading:
        switch (http.net_check(1, s.installer_server, s.installer_path, kAboutInstallerZip)) {
        case 0: {
            std::string text = "Downloading the installer...";
            const down_class* req = http.slot[1];
            int percent = 0;
            if (req)
                percent = req->content_length < 0
                              ? -1
                              : whole_percent(req->received, req->content_length);
            if (percent >= 0) text += std::to_string(percent) + "% complete";
            btn_text(kStateCol, 20, 65, text, wrap, font_prop, 0);
            break;
        }
        case 1:
            about_unpack_installer(s);
            break;
        default:
            s.err_msg = "I was unable to download the installer from the net.";
            s.ins_state = ins_message;
            break;
        }
        break;
    case ins_unpacked: {
        const int code = launch_app(s.installer_app_name, app_path);
        s.err_msg = coded_text("There was an error launching the installer: ", code);
        s.ins_state = ins_message;
        break;
    }
    case ins_message:
        btn_text(kStateCol, 20, 65, s.err_msg, wrap, font_prop, 0);
        break;
    default:
        break;
    }
}

void about_draw(about_check_state& s)
{
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_subwin(0, 15, -1, 35, -1, -1, "", &wx, &wy);

    const std::string host = kMakerWebHost;
    struct line {
        float step;  // down from the line above
        int col;
        std::string text;
    };
    const line lines[] = {
        {0, kHeadingCol, build_name[0]},
        {10, kHeadingCol, std::string("Created by ") + kCreator + "."},
        {10, kHeadingCol, host},
        {20, kTextCol, about_version_line(s)},
        {10, kTextCol, "You can grab an installer at " + host + " to update to it!"},
        {30, kTextCol, std::string("Art by ") + kArtTeam},
        {10, kTextCol, std::string("Code subroutines by ") + kEngineTeam},
        {10, kTextCol, std::string("Linux port by ") + kLinuxTeam},
        {10, kTextCol, std::string("Airport and NAVAID data by ") + kNavDataTeam},
        {10, kTextCol, std::string("Intro screen by ") + kArtTeam},
        {10, kTextCol, std::string("Icons by ") + kInterfaceTeam},
        {10, kTextCol,
         std::string("Additional Elevation Data provided by ") + kCreator + ". " +
             kElevationDataPage},
        {10, kTextCol,
         std::string("Forest prototypes for Europe and US by ") + kSceneryTeam + " and " +
             kArtTeam},
    };
    const float wrap = mnw.wind_w - 40;
    float y = mnw.wind_h - 45;
    for (const line& l : lines) {
        y -= l.step;
        btn_text(l.col, 20, y, l.text, wrap, font_prop, 0);
    }

    if (BTN_action(191, 17, 0, 0, 1, "Go to " + host + " for free updates and tons of other cool stuff!",
                   "-"))
        go_to_URL(kMakerWebSite);
    about_state_area(s);
}

void MACIBM_about()
{
    about_check_state& s = about_check();
    MACIBM_startwind(wind_about);
    while (mnw.wind == wind_about) {
        // The list's result shows in the frame in which it arrives.
        about_fetch_step(s);
        about_draw(s);
        MACIBM_event_proc();
    }
}
