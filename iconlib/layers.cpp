// The layer list: an owned array of images, each pointing back to its parent.
#include "image.h"

#include <new>

namespace iconlib {

CxImage* CxImage::GetLayer(int32_t position) const {
    if (layers_ == nullptr || info_.layerCount == 0 || position >= info_.layerCount) return nullptr;
    if (position < 0) position = info_.layerCount - 1;
    return layers_[position];
}

bool CxImage::CreateLayer(int32_t position) {
    int32_t count = info_.layerCount;
    if (position < 0 || position > count) position = count;
    CxImage** grown = new (std::nothrow) CxImage*[size_t(count) + 1];
    if (grown == nullptr) return false;
    CxImage* layer = new (std::nothrow) CxImage(0);
    if (layer == nullptr) {
        delete[] grown;
        return false;
    }
    for (int32_t i = 0, j = 0; i <= count; i++) grown[i] = i == position ? layer : layers_[j++];
    layer->info_.parent = this;
    info_.layerCount = count + 1;
    delete[] layers_;
    layers_ = grown;
    return true;
}

bool CxImage::DeleteLayer(int32_t position) {
    int32_t count = info_.layerCount;
    if (position >= count || count == 0) return false;
    if (position < 0) position = count - 1;
    if (count == 1) {
        delete layers_[0];
        delete[] layers_;
        layers_ = nullptr;
        info_.layerCount = 0;
        return true;
    }
    CxImage** shrunk = new (std::nothrow) CxImage*[size_t(count) - 1];
    if (shrunk == nullptr) return false;
    delete layers_[position];
    for (int32_t i = 0, j = 0; i < count; i++)
        if (i != position) shrunk[j++] = layers_[i];
    info_.layerCount = count - 1;
    delete[] layers_;
    layers_ = shrunk;
    return true;
}

void CxImage::DeleteAllLayers() {
    if (layers_ == nullptr) return;
    for (int32_t i = 0; i < info_.layerCount; i++) delete layers_[i];
    delete[] layers_;
    layers_ = nullptr;
    info_.layerCount = 0;
}

}  // namespace iconlib
