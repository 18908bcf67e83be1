// File and folder operations with coded results, and the texts of the codes.
// Results are 0 for success, an errno value, or one of the own codes 20001 to
// 20012 that error_str() describes. Every path is absolute and uses "/" only;
// folder paths end in "/".
#pragma once

#include <string>
#include <vector>

std::string error_str(int code);
int show_make_dir_err(int code);
int show_del_err(int code);

// Source file and line of the last failing file step; success never clears
// them. Only the zip log lines print them.
extern const char* sErrFile;
extern int sErrLine;

// Copies `src` into a buffer of strDIM bytes. A text of more than strDIM - 1
// characters is a fatal alert "String too long!" and nothing is copied.
void strcpy_bounded(char* dst, const std::string& src);

int file_exists(std::string path);  // 1 for something there that is not a folder
int dir_exists(std::string path);   // 1 for a folder
int make_folder(const std::string& path);  // creates the last component only, 0755
int delete_file(std::string path);         // a trailing "/" removes an empty folder
int rename_file(const std::string& dir, const std::string& old_name, const std::string& new_name);

// Adds the names in the open folder `folder_fd` but "." and ".." to `names`;
// 0, or an errno value.
int folder_names_at(int folder_fd, std::vector<std::string>* names);
// Removes everything in the open folder `folder_fd` but the entry `keep` (when
// given), folders with what they hold. Links are removed, never followed, so
// nothing outside the folder is touched. 0, or the first errno met.
int empty_folder_at(int folder_fd, const char* keep = nullptr);
// Removes the folder `name` of the open folder `parent_fd` with everything in
// it, in the same way.
int remove_folder_at(int parent_fd, const char* name);

// Starts `app` (with "-path arg" when arg is not empty) and ends this program
// with status 1; returns only when the process cannot be split.
int launch_app(const std::string& app, const std::string& arg);

// Lists the folder `dir` for the choosers: names and their kinds (0 file,
// 1 folder, 2..19 by extension, 21 command), sorted ignoring letter case.
int opensave_getitems(const std::string& dir, int filter, std::vector<std::string>& names,
                      std::vector<int>& kinds);
int opensave_takeit(const std::string& dir, const std::string& name, int filter, int& kind);

// Sets bit 0x0020 of a Windows program file's characteristics.
int make_file_large_address_aware(std::string path);

// Zip archives. zip_to_file unpacks `zip` into the folder `dir`; first_name,
// when given, receives the first entry's stored name. file_to_zip packs one
// file into a new archive.
int zip_to_file(std::string zip, std::string dir, std::string* first_name, int use_name);
int file_to_zip(std::string src, std::string zip);

// Removes from the folder `dir` (ending in "/") the temporaries that an
// unpacking killed midway left there; the number removed. Nothing else is
// touched, whatever it is called, nor a temporary of another copy of this
// program that may still be at work. Call it only while this process is not
// unpacking.
int remove_unzip_leftovers(const std::string& dir);

// Feeds `length` bytes to MD5Update in pieces of at most 65535 bytes.
struct MD5Context;
void MD5UpdateWide(MD5Context* context, const unsigned char* data, unsigned int length);

// The MD5 of a whole file as 32 lower-case hexadecimal digits; 20006 with
// `out` unchanged when it cannot be read whole (missing, not a regular file,
// a read error).
int calc_file_md5(const std::string& path, std::string& out);
