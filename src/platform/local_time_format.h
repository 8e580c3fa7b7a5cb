#pragma once
// What the backends of local_time.h share: the text of a broken-down local
// time and the UTC breakdown of the same instant.

#include <ctime>
#include <string>

// "YYYY-MM-DDThh:mm:ss+hh:mm"; the offset is the difference of the two
// breakdowns (at most a day apart).
std::string FormatLocalTime(const std::tm& local, const std::tm& utc);
