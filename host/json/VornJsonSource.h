// Data sources described in JSON (the format is documented in
// docs/data-source-json.md). Loading is strict: unknown keys, wrong types,
// duplicates and values that do not fit their variable are errors, and
// nothing half-loaded is handed back. Texts are converted from UTF-8 into the
// host's current code page; a character that code page cannot hold is an
// error. Safe to call from several threads.
#ifndef VORN_JSON_SOURCE_H
#define VORN_JSON_SOURCE_H

#include <memory>
#include <string>

#include "VornDataSource.h"

// Loads the data source described in the file at path. On success returns it
// and empties error; otherwise returns null and sets error to one line (UTF-8)
// naming the file, the position ("file:3:17: ...") or the key path
// ("file: variables[3].missingValues[1]: ...") and what is wrong. Only
// allocation failure throws.
std::unique_ptr<VORN_DataSource> LoadDataSourceJSON(const std::string& path, std::string& error);

// The same for JSON text in memory; sourceName stands for the file name in
// error messages.
std::unique_ptr<VORN_DataSource> LoadDataSourceJSONText(const std::string& text,
                                                        const std::string& sourceName,
                                                        std::string& error);

#endif
