#include "VornDdiWriter.h"

// Placeholder until the writer lands.
bool WriteDataSourceDDI(const VORN_DataSource&, const std::string&, std::string& out,
                        std::string& error) {
    out.clear();
    error = "DDI codebooks cannot be written yet";
    return false;
}
