#include "document/uDocument.h"

namespace kalvex {

TDocument::TDocument() {
    FCanvas.EdgeElements = nullptr;
}

void TDocument::MarkChanged() {
    FSaved = false;
    NotifyState();
}

void TDocument::NotifyState() {
    if (OnStateChange)
        OnStateChange();
}

} // namespace kalvex
