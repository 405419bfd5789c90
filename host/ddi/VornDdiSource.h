// Data sources read from DDI Codebook XML (versions 1.2.2 to 2.6, or a
// codeBook root in no namespace), the metadata data archives publish. The
// file is streamed: a codebook's bulk (study description, statistics) is
// skipped, not held. What the data source has no place for is reported in
// notes, one line per kind of loss; notes never fail a load. Texts arrive in
// the host's current code page. Safe to call from several threads.
#ifndef VORN_DDI_SOURCE_H
#define VORN_DDI_SOURCE_H

#include <memory>
#include <string>
#include <vector>

#include "VornDataSource.h"

struct DDILoadOptions {
    // The fileDscr/@ID whose variables and case count are loaded; empty loads
    // the variables of every file.
    std::string fileId;
};

// Loads the codebook in the file at path. On success returns the data source,
// empties error and sets notes to what could not be carried (one line each,
// UTF-8). Otherwise returns null and sets error to one line naming the file
// and the position ("file:3:17: ..."). Only allocation failure throws.
std::unique_ptr<VORN_DataSource> LoadDataSourceDDI(
    const std::string& path, std::string& error, std::vector<std::string>& notes,
    const DDILoadOptions& options = DDILoadOptions());

// The same for codebook text in memory, in any encoding its XML declaration or
// byte-order mark names; sourceName stands for the file name in messages.
std::unique_ptr<VORN_DataSource> LoadDataSourceDDIText(
    const std::string& text, const std::string& sourceName, std::string& error,
    std::vector<std::string>& notes, const DDILoadOptions& options = DDILoadOptions());

#endif
