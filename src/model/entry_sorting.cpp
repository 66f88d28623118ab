#include "model/entry_sorting.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace trawlix {

namespace {

int Sign(double aDifference) { return aDifference > 0 ? 1 : (aDifference < 0 ? -1 : 0); }

int Directed(int aOrder, bool aAscending) { return aAscending ? aOrder : -aOrder; }

unsigned LastDayOfMonth(int aYear, unsigned aMonth) {
    using namespace std::chrono;
    return static_cast<unsigned>(year_month_day_last(year(aYear), month_day_last(month(aMonth))).day());
}

// The code point that starts at aAt, or -1 when the bytes there are not valid UTF-8.
long DecodeAt(const std::string& aText, size_t aAt) {
    const auto byte = [&](size_t aIndex) { return static_cast<unsigned char>(aText[aIndex]); };
    const unsigned char lead = byte(aAt);
    int length = 0;
    long point = 0;
    if (lead < 0x80) return lead;
    if ((lead & 0xE0) == 0xC0) length = 2, point = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0) length = 3, point = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0) length = 4, point = lead & 0x07;
    else return -1;
    if (aAt + length > aText.size()) return -1;
    for (int i = 1; i < length; ++i) {
        if ((byte(aAt + i) & 0xC0) != 0x80) return -1;
        point = (point << 6) | (byte(aAt + i) & 0x3F);
    }
    return point;
}

// The first UTF-16 code unit of a code point: characters beyond the basic plane start
// with a surrogate, which sorts below U+E000..U+FFFF.
long FirstUTF16Unit(long aPoint) { return aPoint < 0x10000 ? aPoint : 0xD800 + ((aPoint - 0x10000) >> 10); }

template <class TGetter>
int CompareTexts(const IEntry& aLeft, const IEntry& aRight, bool aAscending, TGetter aGetter) {
    if (!aLeft || !aRight) return 0;
    return Directed(CompareUTF16Ordinal(aGetter(*aLeft), aGetter(*aRight)), aAscending);
}

}  // namespace

bool IsSortColumn(int aColumnIndex) { return aColumnIndex >= cSortByDate && aColumnIndex <= cSortByCategory; }

int CompareUTF16Ordinal(const std::string& aLeft, const std::string& aRight) {
    const size_t common = std::min(aLeft.size(), aRight.size());
    size_t at = 0;
    while (at < common && aLeft[at] == aRight[at]) ++at;
    if (at == common) return Sign(static_cast<double>(aLeft.size()) - static_cast<double>(aRight.size()));
    // Back to the start of the character both texts differ in (they share its lead bytes).
    size_t lead = at;
    while (lead > 0 && (static_cast<unsigned char>(aLeft[lead]) & 0xC0) == 0x80) --lead;
    const long left = DecodeAt(aLeft, lead);
    const long right = DecodeAt(aRight, lead);
    if (left < 0 || right < 0) {
        return static_cast<unsigned char>(aLeft[at]) < static_cast<unsigned char>(aRight[at]) ? -1 : 1;
    }
    const long leftUnit = FirstUTF16Unit(left);
    const long rightUnit = FirstUTF16Unit(right);
    if (leftUnit != rightUnit) return leftUnit < rightUnit ? -1 : 1;
    return Sign(static_cast<double>(left - right));
}

double EntryDateValue(TEntry& aEntry, double aToday) {
    if (aEntry.GetDate().empty()) return 0;
    if (aEntry.GetLocalDateTime() > 0) return aEntry.GetLocalDateTime();
    const int month = aEntry.GetMonth();
    if (month < 1 || month > 12) return 0;
    int year = 0;
    unsigned todayMonth = 0;
    unsigned todayDay = 0;
    DecodeDate(aToday, year, todayMonth, todayDay);
    if (static_cast<int>(todayMonth) + 1 < month) --year;
    // A day the month does not have (a stored "Feb 30") counts as the month's last day.
    const unsigned day = std::clamp(static_cast<unsigned>(std::max(aEntry.GetDay(), 1)), 1u,
                                    LastDayOfMonth(year, static_cast<unsigned>(month)));
    return EncodeDate(year, static_cast<unsigned>(month), day);
}

int CompareDate(const IEntry& aLeft, const IEntry& aRight, bool aAscending, double aToday) {
    try {
        if (!aLeft || !aRight) return 0;
        if (aLeft->GetNew() != aRight->GetNew()) return Directed(aLeft->GetNew() ? 1 : -1, aAscending);
        const double left = EntryDateValue(*aLeft, aToday);
        const double right = EntryDateValue(*aRight, aToday);
        if (left != right) return Directed(left > right ? 1 : -1, aAscending);
        const std::int64_t leftID = aLeft->GetCraigsID();
        const std::int64_t rightID = aRight->GetCraigsID();
        if (leftID > 0 && rightID > 0 && leftID != rightID) return Directed(leftID < rightID ? -1 : 1, aAscending);
        return 0;
    } catch (...) {
        return 0;
    }
}

int CompareCaption(const IEntry& aLeft, const IEntry& aRight, bool aAscending) {
    return CompareTexts(aLeft, aRight, aAscending, [](const TEntry& aEntry) -> const std::string& { return aEntry.GetName(); });
}

int CompareLocation(const IEntry& aLeft, const IEntry& aRight, bool aAscending) {
    return CompareTexts(aLeft, aRight, aAscending,
                        [](const TEntry& aEntry) -> const std::string& { return aEntry.GetLocationString(); });
}

int CompareCategory(const IEntry& aLeft, const IEntry& aRight, bool aAscending) {
    return CompareTexts(aLeft, aRight, aAscending,
                        [](const TEntry& aEntry) -> const std::string& { return aEntry.GetCategoryString(); });
}

int ComparePrice(const IEntry& aLeft, const IEntry& aRight, bool aAscending) {
    if (!aLeft || !aRight) return 0;
    const double left = aLeft->GetPrice();
    const double right = aRight->GetPrice();
    // A price that is not a number cannot be placed; it compares equal, like a failure.
    if (std::isnan(left) || std::isnan(right)) return 0;
    return Directed(Sign(left - right), aAscending);
}

namespace {

// What one entry sorts by, read once.
struct TSortKey {
    bool valid = false;  // false: no entry, or its value could not be read; compares equal
    bool isNew = false;
    double date = 0;
    std::int64_t postingID = 0;
    double number = 0;
    std::string text;
    size_t index = 0;
};

TSortKey ReadSortKey(const IEntry& aEntry, int aColumnIndex, double aToday) {
    TSortKey key;
    if (!aEntry) return key;
    try {
        switch (aColumnIndex) {
            case cSortByDate:
                key.isNew = aEntry->GetNew();
                key.date = EntryDateValue(*aEntry, aToday);
                key.postingID = aEntry->GetCraigsID();
                break;
            case cSortByPrice:
                key.number = aEntry->GetPrice();
                if (std::isnan(key.number)) return key;
                break;
            case cSortByCaption: key.text = aEntry->GetName(); break;
            case cSortByLocation: key.text = aEntry->GetLocationString(); break;
            default: key.text = aEntry->GetCategoryString(); break;
        }
    } catch (...) {
        return key;
    }
    key.valid = true;
    return key;
}

// The same order as the compare functions give for the entries the keys were read from.
int CompareKeys(const TSortKey& aLeft, const TSortKey& aRight, int aColumnIndex) {
    if (!aLeft.valid || !aRight.valid) return 0;
    switch (aColumnIndex) {
        case cSortByDate:
            if (aLeft.isNew != aRight.isNew) return aLeft.isNew ? 1 : -1;
            if (aLeft.date != aRight.date) return aLeft.date > aRight.date ? 1 : -1;
            if (aLeft.postingID > 0 && aRight.postingID > 0 && aLeft.postingID != aRight.postingID)
                return aLeft.postingID < aRight.postingID ? -1 : 1;
            return 0;
        case cSortByPrice: return Sign(aLeft.number - aRight.number);
        default: return CompareUTF16Ordinal(aLeft.text, aRight.text);
    }
}

}  // namespace

void SortEntries(TEntryList& aEntries, int aColumnIndex, bool aAscending, double aToday) {
    if (!IsSortColumn(aColumnIndex)) return;
    std::vector<TSortKey> keys;
    keys.reserve(aEntries.size());
    for (size_t index = 0; index < aEntries.size(); ++index) {
        keys.push_back(ReadSortKey(aEntries[index], aColumnIndex, aToday));
        keys.back().index = index;
    }
    std::stable_sort(keys.begin(), keys.end(), [&](const TSortKey& a, const TSortKey& b) {
        return Directed(CompareKeys(a, b, aColumnIndex), aAscending) < 0;
    });
    TEntryList sorted;
    sorted.reserve(aEntries.size());
    for (const TSortKey& key : keys) sorted.push_back(std::move(aEntries[key.index]));
    aEntries = std::move(sorted);
}

std::function<int(const IEntry&, const IEntry&)> GetCurrentCompareFunc(int aColumnIndex, bool aAscending,
                                                                        const TNowFunction& aNow) {
    switch (aColumnIndex) {
        case cSortByDate: {
            const double today = std::floor(aNow ? aNow() : LocalNow());
            return [aAscending, today](const IEntry& a, const IEntry& b) { return CompareDate(a, b, aAscending, today); };
        }
        case cSortByCaption:
            return [aAscending](const IEntry& a, const IEntry& b) { return CompareCaption(a, b, aAscending); };
        case cSortByPrice:
            return [aAscending](const IEntry& a, const IEntry& b) { return ComparePrice(a, b, aAscending); };
        case cSortByLocation:
            return [aAscending](const IEntry& a, const IEntry& b) { return CompareLocation(a, b, aAscending); };
        case cSortByCategory:
            return [aAscending](const IEntry& a, const IEntry& b) { return CompareCategory(a, b, aAscending); };
        default: return {};
    }
}

}  // namespace trawlix
