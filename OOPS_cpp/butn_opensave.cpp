// The open and save dialog and its preview pane.
#include "OOPS_cpp/butn_opensave.h"

#include <fcntl.h>
#include <pthread.h>
#include <strings.h>

#include <cstring>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_layout.h"
#include "OOPS_cpp/oglp_state.h"
#include "OOPS_cpp/xmap.h"

namespace {

constexpr const char* kFile = "OOPS_cpp/butn";

struct type_row {
    const char* folder;
    const char* extension;
};
constexpr type_row kTypes[22] = {
    {"", ""},
    {"", ""},
    {"", ".BMP"},
    {"", ".ACF"},
    {"", ".AFL"},
    {"", ".WPN"},
    {"", ".WAV"},
    {"", ".OBJ"},
    {"", ""},
    {"Output/situations/", ".SIT"},
    {"Output/movies/", ".SMO"},
    {"Output/FMS plans/", ".FMS"},
    {"", ""},
    {"Tirrel Output/tracks/", ".TRA"},
    {"Tirrel Output/cars/", ".CAR"},
    {"Morvane Resources/spaceships/", ".SPA"},
    {"Morvane Resources/regions/", ".REG"},
    {"", ""},
    {"", ".HGT"},
    {"", ".TXT"},
    {"sim/", ""},
    {"sim/", ""},
};

// The whole of a file, or nothing. File names come from the disk, so they
// are opened as they are rather than through the framework's path checks.
bool read_whole(const std::string& path, file_bytes* bytes, xmap_class* map)
{
    const int fd = open((app_path + path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    if (bytes->load(fd) != 0) {
        bytes->release();
        return false;
    }
    map->begin = map->cursor = bytes->begin();
    map->end = bytes->end();
    return true;
}

struct head_text {
    int offset, room;
};
constexpr head_text kHeadTexts[4] = {{1552, 500}, {1052, 500}, {2052, 40}, {1012, 40}};

bool is_line_end(char c) { return c == '\r' || c == '\n' || c == 0; }

}  // namespace

// ---------------------------------------------------------------------------
// The preview pane.

int BTN_read_aircraft_head(const std::string& path, unsigned char head[kAircraftHead])
{
    static const int veh_versions[] = {700, 740, 8000, 810, 830, 840, 860, 900, 901, 902, 0};
    memset(head, 0, kAircraftHead);
    file_bytes bytes;
    xmap_class map("");
    if (!read_whole(path, &bytes, &map)) return 0;
    int ok = 0;
    if (map.check_file(xmap_type_binary, veh_versions, nullptr, nullptr) &&
        map.end - map.cursor >= kAircraftHead) {
        // The head is copied as it stands, whatever the byte order.
        memcpy(head, map.cursor, kAircraftHead);
        ok = 1;
    }
    map.begin = map.cursor = map.end = nullptr;
    return ok;
}

std::string BTN_aircraft_head_text(const unsigned char head[kAircraftHead], int k)
{
    const head_text& t = kHeadTexts[k];
    const char* s = reinterpret_cast<const char*>(head) + t.offset;
    return std::string(s, strnlen(s, std::size_t(t.room)));
}

std::string BTN_aircraft_icon_path(const std::string& path)
{
    std::string icon = path;
    if (icon.size() > 4 && icon[icon.size() - 4] == '.') icon.resize(icon.size() - 4);
    return icon + "_icon.png";
}

std::string BTN_read_fdr_comment(const std::string& path)
{
    static const int versions[] = {1, 0};
    file_bytes bytes;
    xmap_class map("");
    if (!read_whole(path, &bytes, &map)) return "";
    std::string comment;
    if (map.check_file(xmap_type_text, versions, nullptr, nullptr)) {
        const char* p = map.cursor;
        const char* const end = map.end;
        while (p < end) {
            while (p < end && (*p == ' ' || *p == '\t')) ++p;
            const char* key = p;
            while (p < end && *p != ',' && !is_line_end(*p)) ++p;
            const std::size_t key_len = std::size_t(p - key);
            if (p < end) ++p;
            if (key_len == 4 && strncasecmp(key, "COMM", 4) == 0) {
                while (p < end && (*p == ' ' || *p == '\t')) ++p;
                const char* value = p;
                while (p < end && !is_line_end(*p)) ++p;
                comment.assign(value, std::size_t(p - value));
                break;
            }
            while (p < end && !is_line_end(*p)) ++p;
            while (p < end && (is_line_end(*p) || *p == '\t' || *p == ' ')) ++p;
        }
    }
    map.begin = map.cursor = map.end = nullptr;
    return comment;
}

void stand_io_dialog(int wind, int file_type, std::string path)
{
    static std::string old_path;
    static unsigned char top_of_veh[kAircraftHead];
    static int has_tex = 0;
    static std::string comment;

    btn_fillrect(34, 1, -mnw.wind_x, -mnw.wind_y, float(mnw.screen_w), float(mnw.screen_h));
    BTN_fillwin(1, 21);
    BTN_frame2(15, 10, 300, 290, 120, "");
    if (wind != wind_open) return;

    if (file_type == 3 || file_type == 8 || file_type == 20) {
        BTN_frame2(15, 331, 70, 220, 220, "");
        BTN_frame2(15, 331, 300, 220, 120, "");
    }

    const bool fresh = path != old_path;
    if (file_type == 3 &&
        (path.find(".acf") != std::string::npos || path.find(".ACF") != std::string::npos)) {
        if (!btn_draw_log) OGL_setstate(1, 1, 3, 4, 9, 11);
        if (fresh) {
            BTN_read_aircraft_head(path, top_of_veh);
            // The texture manager needs GL; a drawing log stands in for it.
            has_tex = btn_draw_log ? 0
                                   : tman.load_texture(tex_fail_silent, 404, 0x511, tex_load_now,
                                                       BTN_aircraft_icon_path(path));
        }
        float y = 405;
        for (int k = 0; k < 4; ++k) {
            const std::string text = BTN_aircraft_head_text(top_of_veh, k);
            btn_text(47, 341, y, text, 200, 100, 0);
            y = OGL_layout_string(341, y, 0, 0, text, 200, 0, [](std::string_view, float, float) {}) -
                10;
        }
        if (has_tex) {
            float s = 0, t = 0;
            pthread_mutex_lock(&tman.lock);
            if (tman.ref_dat.size() > 404) {
                const tman_class::ref_dat_struct& r = tman.ref_dat[404];
                s = r.tex_w > 0 ? r.used_w / r.tex_w : 0;
                t = r.tex_h > 0 ? r.used_h / r.tex_h : 0;
            }
            pthread_mutex_unlock(&tman.lock);
            OGL_2dquad(404, 49, 1.0f, 341, 80, 0, 0, 341, 280, 0, t, 541, 280, s, t, 541, 80, s, 0,
                       1, 4);
        }
    } else if (file_type == 8 && path.find(".fdr") != std::string::npos) {
        if (fresh) comment = BTN_read_fdr_comment(path);
        if (!comment.empty()) btn_text(47, 341, 270, comment, 200, 100, 0);
    }
    old_path = path;
}

// ---------------------------------------------------------------------------
// The dialog.

std::string BTN_opensave_start_folder(const std::string& path, int file_type)
{
    if (path.empty()) return kTypes[file_type].folder;
    if (path.find('/') == std::string::npos) return "";
    std::string folder;
    get_path_with_path(folder, path);
    return folder;
}

std::string BTN_opensave_name(const std::string& name, int file_type)
{
    std::string out = name;
    if (out.size() > 4 && out[out.size() - 4] == '.') out.resize(out.size() - 4);
    return out + kTypes[file_type].extension;
}

opensave_dialog::opensave_dialog(int open_save_in, int file_type_in, const std::string& path)
    : open_save(open_save_in), file_type(file_type_in)
{
    if (open_save != wind_open && open_save != wind_save)
        __MACIBM_alert(0, "Bad open_save arg to BTN_opensave!", "", "", "", t_exit, kFile, 1605);
    if (file_type < 0 || file_type > 21)
        __MACIBM_alert(0, "Bad file_type arg to BTN_opensave!", "", "", "", t_exit, kFile, 1606);
    if (file_type < 0 || file_type > 21) file_type = 0;
    folder = BTN_opensave_start_folder(path, file_type);
    selection = scroll = relist() / 2;
}

int opensave_dialog::relist() { return opensave_getitems(folder, file_type, names, kinds); }

int opensave_dialog::pass()
{
    const bool save = open_save == wind_save;
    // The listing may have changed on disk since the selection was made.
    const bool have = selection >= 0 && std::size_t(selection) < names.size();
    stand_io_dialog(open_save, file_type, have ? folder + names[std::size_t(selection)] : "-");

    const int count = relist();
    const int chosen_in_list = BTN_list_and_search(
        0, 10, 180, 0, 0, &scroll, &selection, 0, count - 1, save ? &name : nullptr, "File:",
        BTN_name_from_vector, &names, nullptr, nullptr, BTN_type_from_vector, &kinds);

    path_levels levels;
    BTN_path_levels(folder, long(folder.size()) - 2, "Skarvel folder", "", &levels);
    BTN_draw_levels(levels, 1);
    static int level = 0;
    if (const int at = BTN_level_item(levels, folder); at >= 0) level = at;

    const int accept = save ? BTN_action(282, 18, 0, 0, 1, "Save", "-")
                            : BTN_action(280, 18, 0, 0, 1, "Open", "-");
    if (BTN_action(33, 18, 0, 0, 1, stls.entry[606], "-") || escape_hit) return 0;

    if (BTN_textlist(150, 434, &level, levels.items, "")) {
        const int k = levels.item_level[std::size_t(level)];
        if (k >= 0) folder = levels.paths[std::size_t(k)];
        return -1;
    }

    if (save && (accept || return_hit) && !name.empty()) {
        chosen = folder + BTN_opensave_name(name, file_type);
        return 1;
    }

    if (chosen_in_list || (return_hit && !save) || (accept && !save)) {
        const int s = selection;
        const bool valid = s >= 0 && s < count;
        if (valid && kinds[std::size_t(s)] == 1) {
            folder += names[std::size_t(s)] + "/";
            selection = relist() / 2;
        } else if (!save && valid) {
            chosen = folder + names[std::size_t(s)];
            return 1;
        }
    }

    if (delete_hit && !folder.empty()) {
        std::string parent;
        get_path_with_path(parent, folder);
        folder = parent;
        selection = relist() / 2;
    }
    return -1;
}

int BTN_opensave(int open_save, int file_type, std::string* path)
{
    const int back = mnw.wind;
    opensave_dialog dialog(open_save, file_type, *path);
    MACIBM_startwind(open_save);
    while (mnw.wind == open_save) {
        const int done = dialog.pass();
        if (done >= 0) {
            if (done == 1) *path = dialog.chosen;
            MACIBM_startwind(back);
            return done;
        }
        MACIBM_event_proc();
    }
    return 0;
}
