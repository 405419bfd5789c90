// transspace validate: checks documents against the XML Schema their root
// element names, our dictionary's or DDI Codebook 2.5's, as the tool found
// them installed beside it (or, run from its build tree, in the source tree).
// Needs the XML runtime.
#ifndef TRANSSPACE_TOOLS_VALIDATE_H
#define TRANSSPACE_TOOLS_VALIDATE_H

#include <string>
#include <vector>

// Validates each file in turn ("-": standard input, once), printing every
// problem on standard output as "FILE:LINE:COLUMN: message" and every file
// that cannot be validated (unreadable, not well-formed, a root without a
// schema here) as one line on standard error. Returns the exit status: 0 when
// every file is valid, 1 when one is not, 2 when one cannot be validated.
int validateFiles(const std::vector<std::string>& files);

#endif
