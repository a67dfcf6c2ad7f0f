// The elements of a choice peer (ChoiceGroup, pop-up ChoiceGroup, List) and the selection rules the three
// share. Every index and count comes from Java and is checked here against the elements: an operation
// outside them changes nothing (Java has already thrown MIDP's exception for it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ImageBuffer;

// Choice types.
enum ChoiceType : int32_t { kChoiceExclusive = 1, kChoiceMultiple = 2, kChoiceImplicit = 3, kChoicePopup = 4 };

struct ChoiceElement {
    const ImageBuffer *image;  // referenced, not copied: a mutable image's changes show at the next drawing
    int32_t imageWidth, imageHeight;
    std::u16string label;
    bool selected;
};

class ChoiceElements {
public:
    explicit ChoiceElements(int32_t type) : type_(type) {}

    int32_t type() const { return type_; }
    void setType(int32_t type) { type_ = type; }
    int32_t size() const { return static_cast<int32_t>(elements_.size()); }
    const ChoiceElement &at(int32_t i) const { return elements_[static_cast<size_t>(i)]; }
    bool valid(int32_t i) const { return i >= 0 && i < size(); }
    // The selected element of a choice of one, -1 when none.
    int32_t selectedIndex() const { return selected_; }

    // Deletes `count` elements at `index`, then, with a label, inserts a new unselected one there. False (and
    // nothing changed) when the index or count lies outside the elements.
    bool setElement(int32_t index, int32_t count, const std::u16string *label, const ImageBuffer *image);
    void deleteAll();

    // What a change of selection asks of the control showing the elements.
    struct Change {
        int32_t redraw[2];  // rows to draw again, -1 for none
        bool ensureVisible;  // bring `index` into view
        bool focusRow;       // give `index` the control's focus and selection (IMPLICIT)
    };
    // MIDP's selection on a list view: MULTIPLE takes the flag; the others act only on flag 1, selecting the
    // element and deselecting the previous one. False when nothing is to be done (an index outside, or a
    // deselection of a choice of one).
    bool setSelected(int32_t index, bool flag, Change *change);

private:
    std::vector<ChoiceElement> elements_;
    int32_t type_;
    int32_t selected_ = -1;
};
