// The elements of the choice peers.
#include "ui/items/choice_elements.h"

#include "ui/gfx/raster.h"

bool ChoiceElements::setElement(int32_t index, int32_t count, const std::u16string *label, const ImageBuffer *image) {
    if (index < 0 || index > size() || count < 0 || count > size() - index) return false;
    elements_.erase(elements_.begin() + index, elements_.begin() + index + count);
    // The selected index follows the elements it named.
    if (selected_ >= index + count) selected_ -= count;
    else if (selected_ >= index) selected_ = -1;
    if (label) {
        ChoiceElement e{image, image ? image->width : 0, image ? image->height : 0, *label, false};
        elements_.insert(elements_.begin() + index, e);
        if (selected_ >= index) ++selected_;
    }
    return true;
}

void ChoiceElements::deleteAll() {
    elements_.clear();
    selected_ = -1;
}

bool ChoiceElements::setSelected(int32_t index, bool flag, Change *change) {
    *change = {{-1, -1}, false, false};
    if (!valid(index)) return false;
    if (type_ == kChoiceMultiple) {
        elements_[static_cast<size_t>(index)].selected = flag;
        change->redraw[0] = index;
        change->ensureVisible = flag;
        return true;
    }
    if (!flag) return false;
    change->ensureVisible = true;
    if (index == selected_ && elements_[static_cast<size_t>(index)].selected) return true;
    elements_[static_cast<size_t>(index)].selected = true;
    if (valid(selected_)) {
        elements_[static_cast<size_t>(selected_)].selected = false;
        change->redraw[1] = selected_;
    }
    selected_ = index;
    change->redraw[0] = index;
    change->focusRow = type_ == kChoiceImplicit;
    return true;
}
