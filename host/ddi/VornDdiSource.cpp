#include "VornDdiSource.h"

// Placeholder until the reader lands.
std::unique_ptr<VORN_DataSource> LoadDataSourceDDI(const std::string& path, std::string& error,
                                                   std::vector<std::string>& notes,
                                                   const DDILoadOptions&) {
    notes.clear();
    error = path + ": DDI codebooks cannot be read yet";
    return nullptr;
}

std::unique_ptr<VORN_DataSource> LoadDataSourceDDIText(const std::string&,
                                                       const std::string& sourceName,
                                                       std::string& error,
                                                       std::vector<std::string>& notes,
                                                       const DDILoadOptions&) {
    notes.clear();
    error = sourceName + ": DDI codebooks cannot be read yet";
    return nullptr;
}
