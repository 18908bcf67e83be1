// The preference file: one key and value per line behind the framework's text
// header. The settings themselves live with their owners (stg, dest_dir_path,
// http); a pass reads the file into them or writes them out.
#pragma once

#include <map>
#include <string>

// One pass over one preference file. Writing goes to a temporary file beside
// the target, which replaces the target only once it is complete; a save also
// removes the temporaries that saves killed midway left there.
class scan_class {
public:
    scan_class(const std::string& path, int mode);
    ~scan_class();
    scan_class(const scan_class&) = delete;
    scan_class& operator=(const scan_class&) = delete;

    int fetch_or_get(const std::string& value, std::string& out, const std::string& key);
    int int_io(int* p, const std::string& key);

    int mode;                                  // 0 reading, 1 writing
    std::map<std::string, std::string> values;  // what the file held, when reading

private:
    std::string path_;       // the target, when writing
    std::string temp_path_;  // written first, renamed over the target
    int opened_ = 0;         // the temporary file was created
};

class pref_class {
public:
    // which: 11 the installer's file, 10 the shared resolution file; io: 0 read, 1 write.
    void IO_set(int which, int io);
    int IO_sta(int, int, std::string) { return 0; }
};

extern pref_class pref;

// The installer's preference file in the hidden product folder.
inline constexpr const char kPrefFileName[] = "Brennix Installer.prf";
// The framework's shared resolution file, relative to the working folder.
inline constexpr const char kResPrefPath[] = "Resources/preferences/Res Skarvel.prf";
