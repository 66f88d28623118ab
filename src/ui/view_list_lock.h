#pragma once

#include "engine/critical_section.h"
#include "model/filter.h"
#include "model/search.h"

namespace trawlix {

// Both locks of the view list, in the order every thread takes them.
class TViewListLock {
public:
    explicit TViewListLock(TSearch& aSearch)
        : fSearchLock(aSearch.GetCriticalSection()), fFilterLock(aSearch.GetFilter().GetCriticalSection()) {}

private:
    TCLock fSearchLock;
    TCLock fFilterLock;
};

}  // namespace trawlix
