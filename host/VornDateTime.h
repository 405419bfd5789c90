// Date and time text of the host's conversion library. Time stamps are
// seconds since 1970-01-01T00:00:00 UTC; fractions of a second are dropped
// (rounding towards the earlier second). Safe to call from several threads.
#ifndef VORN_DATE_TIME_H
#define VORN_DATE_TIME_H

#include <string>

// Which parts ToISODateTime writes.
enum VornDateTimeParts { VornDateOnly = 0, VornTimeOnly = 1, VornDateAndTime = 2 };

// Writes time as ISO 8601 text into out. parts is a VornDateTimeParts code;
// extended separates the fields ("2026-12-06T11:45:54") where basic form does
// not ("20261206T114554"); utc gives the time in UTC followed by "Z", while
// false gives the process's local time without a zone designator. With parts
// 2 and both flags true the text is an XML Schema xs:dateTime such as
// "2026-12-06T11:45:54Z". Returns 0; returns -1 and leaves out empty for a
// time that is not finite or falls outside the years 0001 to 9999, or for an
// unknown parts code.
int ToISODateTime(std::string& out, double time, int parts, bool extended, bool utc);

// Reads ISO 8601 date-time text ("2026-12-06T11:45:54Z", "2026-12-06T11:45:54.25+01:00",
// "2026-12-06") into seconds since the epoch; text without a zone designator
// is taken as UTC. False, leaving seconds unchanged, for any other text.
bool ParseISODateTime(const std::string& text, double& seconds);

#endif
