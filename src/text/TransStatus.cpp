#include "TransStatus.h"

#include <utility>

struct TransStatus::Data {
    bool warning = false;
    bool failure = false;
};

TransStatus::TransStatus() : data(new Data) {}

TransStatus::TransStatus(const TransStatus& other) : data(new Data(*other.data)) {}

TransStatus::~TransStatus() { delete data; }

TransStatus& TransStatus::operator=(TransStatus other) {
    swap(other);
    return *this;
}

void TransStatus::swap(TransStatus& other) { std::swap(data, other.data); }

bool TransStatus::warning() const { return data->warning; }

bool TransStatus::warning(bool value) { return std::exchange(data->warning, value); }

bool TransStatus::failure() const { return data->failure; }

bool TransStatus::failure(bool value) { return std::exchange(data->failure, value); }

void TransStatus::reset() { data->warning = data->failure = false; }

bool TransStatus::operator<(const TransStatus& other) const {
    return !data->failure && other.data->failure && !data->warning && other.data->warning;
}
