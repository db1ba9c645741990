#include "select_buttons.h"

namespace tandex::ui {

TSelectStep selectAllStep(int tag, bool right, bool forceSelect, bool plainKind) {
    const int released = right ? 258 : 2;
    if (forceSelect) tag = released;
    TSelectStep step;
    const bool pressed = (tag & 6) == 4;
    step.tag = pressed ? released : released + 2;
    step.releaseMask = right ? 7 : 11;
    if (!pressed) step.kind = plainKind ? skEveryRow : skAllFiles;
    return step;
}

TSelectStep selectNewStep(int tag, bool right, bool fromItem, bool folderView) {
    const int base = right ? 256 : 0;
    if (fromItem) tag = base;
    TSelectStep step;
    step.tag = tag ^ 1;
    step.releaseMask = right ? 13 : 14;
    if (step.tag & 1)
        step.kind = folderView ? skNewer : skDifferent;
    else
        step.kind = skEqual;
    return step;
}

}  // namespace tandex::ui
