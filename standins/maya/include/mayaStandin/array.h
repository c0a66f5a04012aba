#ifndef MAYA_STANDIN_ARRAY_H
#define MAYA_STANDIN_ARRAY_H

#include <maya/MStatus.h>
#include <memory>
#include <vector>

namespace mayaStandin {
namespace detail {

// Storage shared by the devkit-shaped array classes. Copies are deep; only a
// data object's channel hands out arrays that alias its storage.
template <typename T>
class Array {
public:
    Array() : items_(std::make_shared<std::vector<T>>()) {}
    Array(unsigned int initialSize, const T& initialValue = T())
        : items_(std::make_shared<std::vector<T>>(initialSize, initialValue)) {}
    Array(const T src[], unsigned int count)
        : items_(std::make_shared<std::vector<T>>(src, src + count)) {}
    Array(const Array& other) : items_(std::make_shared<std::vector<T>>(*other.items_)) {}
    Array(Array&& other) noexcept : items_(std::move(other.items_)) {
        other.items_ = std::make_shared<std::vector<T>>();
    }
    Array& operator=(const Array& other) {
        if (this != &other) *items_ = *other.items_;
        return *this;
    }
    ~Array() = default;

    unsigned int length() const { return static_cast<unsigned int>(items_->size()); }
    T& operator[](unsigned int index) { return (*items_)[index]; }
    const T& operator[](unsigned int index) const { return (*items_)[index]; }

    MStatus append(const T& item) {
        items_->push_back(item);
        return MStatus::kSuccess;
    }
    MStatus setLength(unsigned int length) {
        items_->resize(length);
        return MStatus::kSuccess;
    }
    MStatus clear() {
        items_->clear();
        return MStatus::kSuccess;
    }

protected:
    struct AliasTag {};
    Array(AliasTag, std::shared_ptr<std::vector<T>> shared) : items_(std::move(shared)) {}

    std::shared_ptr<std::vector<T>> items_;
};

}  // namespace detail
}  // namespace mayaStandin

#endif
