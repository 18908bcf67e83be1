// The one alert path of the system, and the orderly shut-down.
#pragma once

#include <string>

void __MACIBM_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* file, int line);

// Location text of an alert: "(" file " line " number ")".
std::string alert_location(const char* file, int line);

void MACIBM_finishup(int save);
