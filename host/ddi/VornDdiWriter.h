// DDI Codebook 2.5 text of a data source, written from the data source itself
// so that numbers and string values stay whole. Safe to call from several
// threads.
#ifndef VORN_DDI_WRITER_H
#define VORN_DDI_WRITER_H

#include <string>

#include "VornDataSource.h"

// Writes the codebook of source as UTF-8 text into out; sourceName (UTF-8,
// as file names on the command line are) is the file name and the title when
// the source has no "Title" attribute. Returns false, with one line in error
// and out empty, when a text of the source cannot be written (not valid in
// the host's code page, or a character XML 1.0 cannot hold).
bool WriteDataSourceDDI(const VORN_DataSource& source, const std::string& sourceName,
                        std::string& out, std::string& error);

#endif
