// The framework's modal open and save dialog (windows 998 and 999) and its
// preview pane.
#pragma once

#include <string>
#include <vector>

// Lets the user pick an entry (open_save 998) or type a name (999) below the
// framework's root, listing what `file_type` (0 to 21) asks for. 1 with the
// chosen path in *path; 0 after cancel, Escape or another window.
int BTN_opensave(int open_save, int file_type, std::string* path);

// The dialog's backgrounds and panels, and in window 998 a preview of the
// selected aircraft (type 3) or flight-data (type 8) file.
void stand_io_dialog(int wind, int file_type, std::string path);

// --- Parts of the dialog, for its tests ---------------------------------------

// The folder a dialog for `path` starts in.
std::string BTN_opensave_start_folder(const std::string& path, int file_type);
// A typed name as the save form stores it: a dot and three characters at its
// end give way to the type's own extension.
std::string BTN_opensave_name(const std::string& name, int file_type);

class opensave_dialog {
public:
    opensave_dialog(int open_save, int file_type, const std::string& path);
    // One pass: -1 to go on, 0 cancelled, 1 chosen (the path in `chosen`).
    int pass();

    int open_save, file_type;
    std::string folder, name, chosen;
    std::vector<std::string> names;
    std::vector<int> kinds;
    int selection = 0, scroll = 0;

private:
    int relist();
};

// The head of an aircraft file, 2092 bytes after its 5-byte header; all zero
// unless the file's header is accepted and the whole head is there.
inline constexpr int kAircraftHead = 2092;
int BTN_read_aircraft_head(const std::string& path, unsigned char head[kAircraftHead]);
// Text k (0 to 3, in the order shown) of a head, ending at its NUL or its room.
std::string BTN_aircraft_head_text(const unsigned char head[kAircraftHead], int k);
// The icon image beside an aircraft file.
std::string BTN_aircraft_icon_path(const std::string& path);
// The comment line of a flight-data file, empty when it has none.
std::string BTN_read_fdr_comment(const std::string& path);
