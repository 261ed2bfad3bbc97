#pragma once
// Times and sizes as the window, the graph, the status bar and the tool show them. Every division
// truncates toward zero; the play position is taken to the nearest millisecond first.
#include <cstdint>
#include <string>

// "h:mm:ss.mmms", e.g. 3723456 -> 1:02:03.456s.
std::string FormatMilliseconds(uint32_t ms);
// Whole seconds, as short notes give a length: "h:mm:ss", e.g. 70999 -> 0:01:10.
std::string FormatWholeSeconds(uint32_t ms);
// The same text from seconds, e.g. 65.25 -> 0:01:05.250s.
std::string FormatSeconds(double t);
// The play position as the window shows it: the whole millisecond nearest t seconds (0 for a
// time before the start or NaN, at most 4294967295). The toolbar, the chart's cursor and the
// track bar all stand at this instant.
uint32_t PositionMilliseconds(double t);
// That millisecond as FormatMilliseconds writes it, e.g. 58.1446 -> 0:00:58.145s.
std::string PositionText(double t);
// Axis labels: "h:mm:ss" from an hour on, "%2d:%02d" from a minute on, else "%2d" seconds.
std::string FormatAxisTime(double t);
// A recording's length as the recordings page shows it: "%01d:%02ds" of minutes and seconds,
// e.g. 2:05s.
std::string RecordingLengthText(uint32_t lengthMs);
// A recording's memory size as the recordings page and the status bar show it: "%dk" of
// ((bytes - 1024) div 1024) + 1.
std::string RecordingSizeText(int64_t memorySize);
