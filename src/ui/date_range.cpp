#include "ui/date_range.h"

#include <QCheckBox>
#include <QDateTimeEdit>

namespace trawlix {

bool SwapReversedDates(const QCheckBox& aFromTicked, QDateTimeEdit& aFrom, const QCheckBox& aToTicked, QDateTimeEdit& aTo) {
    if (!aFromTicked.isChecked() || !aToTicked.isChecked() || aFrom.date() <= aTo.date()) return false;
    const QDateTime from = aFrom.dateTime();
    aFrom.setDateTime(aTo.dateTime());
    aTo.setDateTime(from);
    return true;
}

}  // namespace trawlix
