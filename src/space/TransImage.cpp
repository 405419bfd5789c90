#include "TransImage.h"

TransImage::TransImage() : number(0) {}

TransImage::TransImage(const TransImage& other)
    : name(other.name), data(other.data), info(other.info), number(other.number) {}

TransImage& TransImage::operator=(const TransImage& other) {
    name = other.name;
    data = other.data;
    info = other.info;
    number = other.number;
    return *this;
}

TransImage::~TransImage() = default;
