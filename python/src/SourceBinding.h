// The data source as the package holds it: loaded once, never changed, shared
// by its variables and by the documents built from it.
#ifndef TRANSSPACE_PYTHON_SOURCEBINDING_H
#define TRANSSPACE_PYTHON_SOURCEBINDING_H

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Bindings.h"
#include "VornDataSource.h"

struct SourceHandle {
    std::shared_ptr<const VORN_DataSource> source;
    std::string name;                // the file's name, the codebook's title for to_ddi
    std::vector<std::string> notes;  // the loader's, in order
    // Name lookups fill the data source's cache: one at a time, also for the
    // dictionary documents that keep the source for the diff.
    std::shared_ptr<std::mutex> lock = std::make_shared<std::mutex>();
    py::object variables;  // the list of Variable objects, made on first use

    int find(const std::string& variable) const;
};

// One variable of a shared data source.
struct VariableHandle {
    std::shared_ptr<const VORN_DataSource> source;
    int index;
    const VORN_Variable& get() const { return source->GetVariable(index); }
};

#endif
