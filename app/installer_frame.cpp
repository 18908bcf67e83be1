#include <climits>
#include <cmath>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_math.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xtim.h"
#include "app/installer.h"
#include "app/utils.h"

installer_frame_state frame_state;

namespace {

const char kThisFile[] = "main";

// Depth of the modal windows that the frame has opened and not yet closed.
// Their closing runs one frame of the main page inside the action that
// opened them; that frame must not act on buttons.
int modal_depth = 0;

struct modal_scope {
    modal_scope() { ++modal_depth; }
    // A press seen by the nested frame belongs to it, not to the rest of
    // the frame that opened the window.
    ~modal_scope()
    {
        --modal_depth;
        mnw.clicked = 0;
    }
    modal_scope(const modal_scope&) = delete;
    modal_scope& operator=(const modal_scope&) = delete;
};

const char kHint[] =
    "Click on the 'DESTINATION' button below to choose the copy of Brennix you wish to update, "
    "or choose the destination you wish to install a new copy of Brennix to!";
const char kScanText[] =
    "Scanning directory text file to see if you already have Brennix installed...";

// Colours of the main screen.
enum { col_text = 46, col_path = 45, col_warning = 1, col_failure = 69, col_complete = 13 };

std::string decimal(double value) { return std::to_string(whole_number(value)); }

// ---------------------------------------------------------------------------
// Actions.

void destination_action()
{
    int chosen;
    {
        modal_scope modal;
        chosen = pick_dest_path();
    }
    if (!chosen) return;
    next.reset_all_streams();
    stg.install_error = 0;
    stg.phase = 0;
    if (stg.dir_state == 3) stg.dir_state = 1;
}

void install_action()
{
    next.reset_all_streams();
    // A new job: the last one's completion no longer describes the screen.
    next.job_done = 0;
    stg.install_error = 0;
    make_dirs();
    modal_scope modal;
    const int agreed = handle_EULA();
    // The terms closed by a close request answer nothing: the run ends.
    if (mnw.close_requested) return;
    if (agreed) stg.phase = 1;
    if (!choose_files()) stg.phase = 0;
}

void quit_action()
{
    next.reset_all_streams();
    stg.phase = 2;
    app_done = 1;
}

// The engine's 10 ms of this frame.
void install_slice()
{
    const double deadline = static_cast<double>(xtim_class::microsecs()) * 0.000001 + 0.01;
    while (static_cast<double>(xtim_class::microsecs()) * 0.000001 < deadline) {
        if (grab_files()) {
            stg.phase = 2;
            next.reset_all_streams();
            break;
        }
    }
}

// Once per run, when the list names servers but none of them can be asked:
// without it the screen would go on checking for ever.
void tell_no_usable_server()
{
    frame_state.told_no_usable_server = true;
    modal_scope modal;
    __MACIBM_alert(0,
                   "OK I have the list of Corvath Research servers, but it does not name any "
                   "server that I can reach!",
                   "Every server in the list has a name or a folder that I can not ask for files.",
                   std::string("Please try again later, or grab a new installer at the download "
                               "section of ") +
                       kMakerWebHost + ".",
                   temp_path + "serverlist.txt", t_alert, kThisFile, 198);
}

void directory_fetch_step(bool nested)
{
    if (stg.dir_state != 0 || stg.server_count <= 0) return;
    if (!server_list_names_a_usable_server()) {
        if (!frame_state.told_no_usable_server && !nested) tell_no_usable_server();
        return;
    }
    const int s = stg.server_index;
    if (s < 0 || s >= stg.server_count || s >= 10) return;
    // A server named in a form no request can take fails like one that does
    // not answer.
    const int r = server_is_usable(s) ? http.net_check(1, server_name[s], server_path[s] + "directory.txt.zip",
                                                       frame_state.net_dir_path_zip)
                                      : 2;
    if (r == 2) {
        stg.server_index = int_rand(0, stg.server_count - 1);
    } else if (r == 1) {
        // An earlier run's directory must not pass for this archive's when the
        // archive lacks one: a missing directory is then reported as such.
        delete_file(frame_state.dir_path);
        const int e = zip_to_file(frame_state.net_dir_path_zip, frame_state.dir_path_path, nullptr, 0);
        remove_unzip_leftovers(frame_state.dir_path_path);
        if (e == 0)
            stg.dir_state = 1;
        else
            __MACIBM_alert(0, "DIR-scan: The installer cannot extract a file.",
                           "Error: " + error_str(e),
                           "Compressed File/" + frame_state.net_dir_path_zip,
                           "Destination Path/" + frame_state.dir_path_path, t_alert, kThisFile, 197);
        delete_file(frame_state.net_dir_path_zip);
    }
}

void draw_background()
{
    const float corners[16] = {0, 0, 0, 0, 0, 768, 0, 0.75f, 1024, 768, 1, 0.75f, 1024, 0, 1, 0};
    btn_free_quad(kBackgroundTexture, 49, 1.0f, corners);
}

void draw_lower_panel(const panel_lines& lines, int panel_phase)
{
    BTN_frame2(20, 135, 32, 880, 40, "");
    static const float ys[3] = {58, 48, 38};
    for (int i = 0; i < 3; ++i) btn_text(lines.col[i], 144, ys[i], lines.text[i], 9999, 100, 0);
    BTN_frame1(4, 574, 15, 884, 0);
    if (panel_phase == 1 && frame_state.totl_inst_rat > 0.02f) {
        float centre = 0, width = 0;
        bar_fill(frame_state.totl_inst_rat, &centre, &width);
        BTN_frame1(5, centre, 15, width, 0);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Texts and figures.

int whole_number(double value)
{
    if (!(value == value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

std::string fetch_text(long long content_length, long long received, bool in_flight)
{
    if (in_flight && content_length == -1)
        return "I am checking the net for the latest version of Brennix right now, and I am "
               "connecting to the server...";
    const int percent = in_flight ? whole_percent(received, content_length) : 0;
    return "I am checking the net for the latest version of Brennix right now, and I am " +
           std::to_string(percent) + "% done checking.";
}

void status_line(std::string* text, int* col)
{
    *col = col_text;
    if (next.job_done) {
        *col = col_complete;
        *text = "INSTALLATION COMPLETE!";
    } else if (stg.server_count == -1) {
        *text = "Looking for servers... you need internet for this...";
    } else if (stg.server_count == 0 ||
               (stg.dir_state == 0 && !server_list_names_a_usable_server())) {
        // A list whose servers no request can take is checking nothing.
        *col = col_warning;
        *text = "I could not find any servers to get Brennix from!";
    } else if (stg.dir_state == 0) {
        const down_class* req = http.slot[1];
        *text = req ? fetch_text(req->content_length, req->received, true) : fetch_text(-1, 0, false);
    } else if (stg.dir_state == 2) {
        *col = col_warning;
        *text = std::string("I can not find a version of Brennix on the net! Please grab a new "
                            "installer from ") +
                kInstallerDownloadPage + ", or check that your network service is working.";
    } else if (stg.phase == 1) {
        *text = "OK I am installing this now...";
    } else if (path_is_to_a_sim()) {
        *text = "You have selected an earlier version of Brennix in the DESTINATION field below, "
                "so I will update that installation  by just grabbing new updated files!";
    } else {
        *text = "To make the download a LOT faster, if you have an earlier version of Brennix 9 "
                "on your hard drive, choose that with the DESTINATION button below, and I will "
                "UPDATE THAT FOLDER!";
    }
}

panel_lines summary_lines()
{
    installer_frame_state& f = frame_state;
    f.totl_inst_rat = 0;
    f.tot_down_req = stg.total_download;
    f.tot_disk_req = stg.total_install;

    panel_lines lines;
    if (stg.dir_state == 0) {
        lines.text[0] = "I am figuring out what the latest version of Brennix is right now...";
        lines.text[1] = "This may take a moment as I download the latest list of Brennix files...";
    } else if (stg.total_install == 0) {
        lines.text[0] = "Your copy of Brennix is already the latest version.";
        lines.text[1] =
            "(Remember, the BETA installer only checks for the latest BETA version, and the FULL "
            "installer checks only for the latest FULL version of Brennix).";
        lines.text[2] = "This is a full installer.";
    } else {
        set_size_str(f.tot_disk_req, &f.tot_disk_req_str);
        lines.text[0] =
            "You are about to install " + f.tot_disk_req_str + " of files to get " + install_name + ".";
    }
    return lines;
}

float next_install_ratio(float ratio, float period, double installed, double total)
{
    const double k = 5.0 * period;
    const double target = installed / total;  // not a number for 0 of 0
    double r = (1 - k) * ratio + k * target;
    if (!(r >= 0)) r = 0;
    if (r > 1) r = 1;
    return static_cast<float>(r);
}

panel_lines progress_lines()
{
    installer_frame_state& f = frame_state;
    f.totl_inst_rat = next_install_ratio(f.totl_inst_rat, xtim.frame_period, next.kb_installed,
                                         f.tot_disk_req);

    std::string installed_text;
    set_size_str(static_cast<float>(next.kb_installed), &installed_text);
    std::string percent_text;
    flt_to_str(100 * f.totl_inst_rat, &percent_text, 3, 1, 0);
    const std::string file_percent = std::to_string(stg.file_percent);

    panel_lines lines;
    switch (stg.file_action) {
    case 0:
        lines.text[0] = "Deleting " + crnt_file_name + " because that file is no longer needed!";
        break;
    case 1:
        lines.text[0] = "Downloading and installing " + crnt_file_name + ", currently " +
                        file_percent + "% done with that file.";
        break;
    case 2:
        lines.text[0] = "duplicate filename through file " + crnt_file_name +
                        ", but not installing it because you already have this file.";
        break;
    case 3:
        lines.text[0] = "Browsing through file " + crnt_file_name +
                        ", but not installing it because you don't need this file.";
        break;
    default: break;
    }
    lines.text[1] = percent_text + "% done with the internet install, having installed " +
                    installed_text + " of " + f.tot_disk_req_str + " for the internet install.";

    const double downloaded = next.kb_fetched + next.kb_in_flight;
    double remaining = static_cast<double>(f.tot_down_req) - downloaded;
    if (!(remaining > 0)) remaining = 0;
    double elapsed = static_cast<double>(xtim.act_time) - static_cast<double>(next.start_time);
    if (!(elapsed > 1)) elapsed = 1;

    if (f.totl_inst_rat > 0.01f) {
        if (downloaded > 0) {
            const double speed = downloaded / elapsed;
            const double left = remaining / speed;
            std::string amount;
            // Divided, not multiplied by a reciprocal: 900 s is 15 minutes
            // in x87 precision too.
            if (left < 120)
                amount = decimal(left) + " seconds";
            else if (left < 7200)
                amount = decimal(left / 60) + " minutes";
            else
                amount = decimal(left / 3600) + " hours";
            int streams = 0;
            for (int s = 0; s < 4; ++s) streams += next.active[s] ? 1 : 0;
            lines.text[2] = "About " + amount + " left in the install, downloading at " +
                            decimal(speed) + " kilobytes/second with " + std::to_string(streams) +
                            " simultaneous download streams.";
        } else {
            lines.text[2] = "Nothing has been downloaded yet, so I can not tell the time left in "
                            "the install or the download speed.";
        }
    }
    return lines;
}

panel_lines outcome_lines()
{
    panel_lines lines;
    if (stg.install_error) {
        lines.text[0] = "The installation was not completed because an error occurred.";
        lines.text[1] = "Brennix is not fully installed or updated and may not run correctly.";
        lines.text[2] = "Please try a different server, hard drive, or directory, or contact "
                        "Customer Support for help with this problem.";
        lines.col[0] = lines.col[1] = lines.col[2] = col_failure;
    } else if (next.job_done) {
        // Only a job that the engine finished is complete; quitting is not.
        lines.text[0] = "INSTALLATION COMPLETE!";
    }
    return lines;
}

void apply_net_failure(panel_lines* lines)
{
    if (!stg.net_failed) return;
    lines->text[0] = "I can NOT download the file '" + crnt_file_path + "'!";
    lines->text[1] = "Your internet connection may not be working, or the server could be "
                     "undergoing maintainance or an upgrade right now.";
    lines->text[2] = "I am trying another server now to see if I can still get you a download...";
    lines->col[0] = lines->col[1] = lines->col[2] = col_failure;
}

void bar_fill(float ratio, float* centre_x, float* width)
{
    const int end = whole_number(132.0 + 884.0 * static_cast<double>(ratio));
    *centre_x = static_cast<float>(2 * std::round((132 + end) / 4.0));
    *width = static_cast<float>(4 * std::round((end - 132) / 4.0));
}

int installer_frame_nested() { return modal_depth > 0; }

void installer_reset_run_state()
{
    frame_state = installer_frame_state{};
    modal_depth = 0;
    eula_agreed = 0;
}

// ---------------------------------------------------------------------------
// One frame.

void installer_frame()
{
    installer_frame_state& f = frame_state;
    // Inside one of the frame's own modal windows as it closes: draw and poll,
    // but open nothing and start nothing.
    const bool nested = modal_depth > 0;
    // Closing the window through the window manager is QUIT; a nested frame
    // leaves it to the frame that opened the modal window.
    if (mnw.close_requested && !nested) {
        quit_action();
        return;
    }

    draw_background();
    server_list_step();
    if (!f.paths_built) {
        f.paths_built = true;
        f.net_dir_path_zip = temp_path + "directory.txt.zip";
        f.dir_path = temp_path + "directory.txt";
        f.dir_path_path = temp_path;
    }
    directory_fetch_step(nested);

    BTN_frame1(9, 285, 89, 300, 0);
    btn_text(col_path, 142, 86, dest_dir_path, 9999, 100, 0);
    const bool field_clicked = mnw.clicked && mnw.mouse_x >= 135 && mnw.mouse_x <= 435 &&
                               mnw.mouse_y >= 79 && mnw.mouse_y <= 99;
    btn_text(col_text, 134, 112, kHint, 9999, 100, 0);

    if (stg.phase == 0 || stg.phase == 2) {
        const int button = interface_rect(10, 78, 513, 166, 126, 22, 1, 1);
        if ((button || field_clicked) && !nested) destination_action();
    }

    if (stg.dir_state == 1) stg.dir_state = read_directory(f.dir_path, kScanText);

    if (stg.phase == 1) {
        if (xtim.act_flag10 && ++f.wrl_i > 23) f.wrl_i = 8;
    } else {
        f.wrl_i = 21;
    }

    const int rows = stg.server_count < 10 ? stg.server_count : 10;
    for (int i = 0; i < rows; ++i)
        BTN_is_int(142, static_cast<float>(578 - 20 * i), &stg.server_index, i, server_desc[i]);
    if (BTN_action(50, 750, -1, 0, 1, "preferences", "-") && !nested) {
        modal_scope modal;
        handle_prefs();
    }

    interface_rect(0, 595, 644, 33, 128, 86, 0, 0);
    interface_icon(29, 608, f.wrl_i);
    BTN_frame2(20, 135, 600, 790, 72, install_name == no_install_name ? "" : "NET: " + install_name);
    BTN_frame2(20, 935, 600, 80, 72, "Download");
    std::string size_text;
    set_size_str(stg.total_download, &size_text);
    btn_text(col_text, 954, 635, size_text, 700, 100, 0);
    std::string status;
    int status_col = col_text;
    status_line(&status, &status_col);
    btn_text(status_col, 154, 615, status, 700, 100, 0);

    if (stg.phase == 0) {
        const int enabled = stg.dir_state == 3 ? 1 : 0;
        if (interface_rect(450, 78, 640, 166, 83, 22, enabled, 2 - enabled) && enabled && !nested)
            install_action();
    }
    if (interface_rect(960, 78, 780, 166, 51, 22, 1, 1) && !nested) quit_action();

    const int panel_phase = stg.phase;
    panel_lines lines;
    if (panel_phase == 0) {
        lines = summary_lines();
    } else if (panel_phase == 1) {
        install_slice();
        lines = progress_lines();
    } else {
        lines = outcome_lines();
    }
    apply_net_failure(&lines);
    draw_lower_panel(lines, panel_phase);
}
