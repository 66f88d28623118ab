#pragma once

#include <cstddef>
#include <functional>

#include "model/entry.h"

namespace trawlix {

// Makes the entries of a query on the entries table, in row order, and hands each to
// aTake. A large result is read on two threads: this one steps the query and copies the
// rows out in batches while another makes the entries and hands them over, so aTake then
// runs on that other thread (one call at a time; the call returns after the last). A row
// that cannot become an entry (a site that is not a site number) is left out.
using TTakeEntry = std::function<void(IEntry aEntry)>;
void LoadEntries(TSQLiteQuery& aRows, std::size_t aExpectedRows, const TTakeEntry& aTake);

}  // namespace trawlix
