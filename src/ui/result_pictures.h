#pragma once

#include <QIcon>

namespace trawlix {

// The small pictures of the results list, drawn once in code so that they scale with
// the list and need no files.
const QIcon& FavouriteIcon();
const QIcon& RepliedIcon();
// The erase button: an empty list, up to 100 rows, more than 100 rows.
const QIcon& EraseResultsIcon(int aRowCount);

}  // namespace trawlix
